// The window that updates a device's firmware through its mapped COM port: the user
// chooses an image file, the window checks it against the port's model, and its worker
// hands it to the driver block by block.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "firmware/download_thread.h"
#include "firmware/firmware_image.h"
#include "firmware/firmware_window.h"
#include "platform/desktop.h"
#include "platform/serial.h"

class TfrmDownload : public TfrmFirmwareWindow, public DownloadWindowOps {
 public:
  TfrmDownload(ui::Window* owner, const std::string& portName, std::uint32_t modelCode, platform::SerialPorts& serial,
               platform::Desktop& desktop, DownloadTiming timing = {});
  ~TfrmDownload() override;

  // Enables the window when it was prepared and answers whether it may be shown.
  int ReadyToShow();
  bool ThreadDone() const { return !worker_ || worker_->ThreadDone(); }

  // DownloadWindowOps, called from the worker.
  DownloadJob EnterDownloading() override;
  void ShowProgress(std::uint32_t bytesSent) override;
  void EnterComplete() override;
  void EnterFailed() override;
  void ShowResult(const std::string& text, std::uint32_t flags) override;
  void ResetAfterDownload() override;

  ui::Button* pbtnDLReboot;

  const std::string PortName;
  const std::uint32_t ModelCode;
  std::unique_ptr<platform::SerialPort> PortHandle;
  ImageFile FileHandle;
  std::string FileName;
  std::uint32_t FileSize = 0;
  int InitOk = 0;
  std::atomic<std::uint32_t> DownloadState{dlsIdle};

  void pbtnDLOpenClick();
  void pbtnDLStartClick();
  void pbtnDLCloseClick();
  void pbtnDLRebootClick();

 private:
  static std::vector<ui::ControlRow<TfrmDownload>> Rows();
  void OnFormCreate();
  void OnFormDestroy();
  void CheckFirmwareFile();
  // Closes the image file, if one is open, and clears its label.
  void CloseFirmwareFile();
  void SetButtons(bool open, bool start, bool close, bool reboot);

  platform::Desktop& desktop_;
  std::unique_ptr<TDownloadThrd> worker_;
  // The dialog answers a cancel with the file chosen last, as the platform's dialog does.
  std::string lastChosenFile_;
};

// The Update FW command for a port updated through its COM port: shows the firmware
// window modally when it could be prepared, and destroys it.
void RunComFirmwareUpdate(ui::Window* owner, const std::string& portName, std::uint32_t modelCode,
                          platform::SerialPorts& serial, platform::Desktop& desktop);
