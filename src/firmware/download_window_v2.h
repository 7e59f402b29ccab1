// The window that updates a VEQ7308(R)+ or VEQ7316(R)+ device over the network: the user
// chooses an .exf file, the window checks it, and its worker sends the two images.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "firmware/download_thread_v2.h"
#include "firmware/exf_image.h"
#include "firmware/firmware_window.h"
#include "platform/desktop.h"
#include "platform/sockets.h"

class TfrmDownloadV2 : public TfrmFirmwareWindow, public DownloadV2WindowOps {
 public:
  TfrmDownloadV2(ui::Window* owner, std::uint32_t address, const std::string& portName, std::uint32_t modelCode,
                 platform::Network& network, platform::Desktop& desktop, NetworkTimings timings = {});
  ~TfrmDownloadV2() override;

  int ReadyToShow();
  void SetButtons(int state);

  // DownloadV2WindowOps, called from the worker.
  void StartAnimation() override;
  void Progress(std::uint32_t percent) override;
  void Success() override;
  void Failure(const std::string& message) override;
  void Inform(const std::string& text) override;
  bool Ask(const std::string& text) override;

  ui::StaticText* stxtDwonloadFileName;
  const std::uint32_t DeviceAddress;
  const std::string PortName;
  const std::uint32_t ModelCode;
  int Ready = 0;
  // The file that passed every check: header and images always belong together.
  ExfFile File;
  bool HasFile = false;

  void pbtnDLOpenClick();
  void pbtnDLStartClick();
  void pbtnDLCloseClick();

 private:
  static std::vector<ui::ControlRow<TfrmDownloadV2>> Rows();
  void FormCreate();
  void FormDestroy();
  // Closing through the close box during a download ends the run at its next exchange.
  bool FormCloseQuery();
  // Ends the worker of the last run, if any: asks it to stop and keeps running its
  // calls until it has finished, so the two never wait for each other.
  void EndWorker();
  void ShowBox(const std::string& text, std::uint32_t flags);

  platform::Network& network_;
  platform::Desktop& desktop_;
  NetworkTimings timings_;
  std::unique_ptr<TDownloadThrdV2> worker_;
  // Set when the window goes: the worker's last calls change nothing on screen then.
  bool closing_ = false;
};

// The Update FW command for the two network models: shows the window modally when it is
// ready, and destroys it.
void RunNetworkFirmwareUpdate(ui::Window* owner, std::uint32_t address, const std::string& portName,
                              std::uint32_t modelCode, platform::Network& network, platform::Desktop& desktop);
