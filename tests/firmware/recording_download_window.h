// The network download worker's window, recorded: what a test asserts the worker showed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/download_thread_v2.h"

class RecordingDownloadWindow : public DownloadV2WindowOps {
 public:
  void StartAnimation() override { ++animations; }
  void Progress(std::uint32_t percent) override { progress.push_back(percent); }
  void Success() override { outcome = "success"; }
  void Failure(const std::string& message) override { outcome = message; }
  void Inform(const std::string& text) override { informed.push_back(text); }
  bool Ask(const std::string& text) override {
    asked.push_back(text);
    return answer;
  }
  int animations = 0;
  std::vector<std::uint32_t> progress;
  std::string outcome;
  std::vector<std::string> informed, asked;
  bool answer = false;
};
