#include "app/app_session.h"

#include "store/registry_values.h"
#include "ui/headless/user.h"

Session::Session() {
  services = std::make_unique<platform::Services>(platform::Services{*registry, system, desktop, crypto, serial, *network});
}

bool Session::MapLabRack() {
  MappingValues values;
  values.model = 0x7316;
  values.ip = "10.0.0.9";
  values.port = 3;
  values.description = "Lab rack";
  return builder->WriteMapping("OLMX7", values);
}

TfrmPortMapper7370& Session::Start() {
  window = std::make_unique<TfrmPortMapper7370>(*services);
  window->OnFormCreate();
  // As the program shows it, so that a user can reach it.
  if (!window->Terminated()) window->Show();
  return *window;
}

std::vector<std::string> Session::End() {
  const std::size_t before = desktop.boxes.size();
  window.reset();
  std::vector<std::string> texts;
  for (std::size_t i = before; i < desktop.boxes.size(); ++i) texts.push_back(desktop.boxes[i].text);
  return texts;
}

ui::TreeItem* Session::Category(const std::string& caption) {
  for (const auto& item : window->tvwPortMapper->Items())
    if (item->Text() == caption) return item.get();
  return nullptr;
}

ui::TreeItem* Session::PortNode(const std::string& caption, const std::string& name) {
  ui::TreeItem* category = Category(caption);
  if (category == nullptr) return nullptr;
  for (const auto& item : category->Children())
    if (item->Text() == name) return item.get();
  return nullptr;
}

std::vector<std::string> Session::ChildTexts(const std::string& caption) {
  std::vector<std::string> texts;
  if (ui::TreeItem* category = Category(caption))
    for (const auto& item : category->Children()) texts.push_back(item->Text());
  return texts;
}

bool Session::Select(ui::TreeItem* item) {
  return item != nullptr && ui::user::Choose(*window->tvwPortMapper, *item) && window->tvwPortMapper->Selected() == item;
}

std::uint32_t Session::PortValue(int com, const char* name) {
  std::uint32_t value = 0xDEADBEEF;
  platform::RegKey key = platform::kInvalidKey;
  const std::string path = "Enum\\OLMXV1X\\OLMX" + std::to_string(com);
  platform::Registry& file = machine.registry();
  if (file.OpenKey(platform::kHKeyLocalMachine, path.c_str(), platform::kKeyRead, &key) != platform::kErrorSuccess)
    return value;
  if (!ReadDword(file, key, name, &value)) value = 0xDEADBEEF;
  file.CloseKey(key);
  return value;
}
