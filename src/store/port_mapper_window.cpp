#include "store/port_mapper_window.h"

#include "platform/desktop.h"
#include "store/error_codes.h"
#include "store/port_manager.h"

const char* const kMainWindowCaption = "VEQ COMPort Mapping Utility for Windows95/98/Me";

PortMapperWindow::~PortMapperWindow() = default;

void PortMapperWindow::ShowErrorMessage() {
  std::string text;
  if (!ErrorMessageText(ErrorCode, store ? store->importLine : 0, &text)) return;
  ErrorCode = PMERR_NONE;
  ShowWindowMessage(text, platform::kMbIconError | platform::kMbOk);
}

int PortMapperWindow::ShowWindowMessage(const std::string& text, std::uint32_t flags) {
  return ShowTitledMessage(text, kMainWindowCaption, flags);
}

int PortMapperWindow::ShowTitledMessage(const std::string& text, const std::string& caption, std::uint32_t flags) {
  SetWindowEnabled(false);
  const int answer = ShowMessageBox(text, caption, flags);
  SetWindowEnabled(true);
  return answer;
}
