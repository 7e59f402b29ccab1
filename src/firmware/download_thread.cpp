#include "firmware/download_thread.h"

#include <algorithm>

#include "firmware/firmware_image.h"
#include "platform/desktop.h"
#include "store/driver_interface.h"

std::unique_ptr<TDownloadThrd> TDownloadThrd::Create(DownloadWindowOps& window,
                                                     const std::atomic<std::uint32_t>& state, DownloadTiming timing) {
  std::unique_ptr<TDownloadThrd> worker(new TDownloadThrd(window, state, timing));
  if (!worker->life_.Start([w = worker.get()] { w->Run(); })) return nullptr;
  return worker;
}

TDownloadThrd::TDownloadThrd(DownloadWindowOps& window, const std::atomic<std::uint32_t>& state,
                             DownloadTiming timing)
    : window_(window), DownloadState(state), timing_(timing) {}

void TDownloadThrd::Run() {
  Execute();
  threadDone_ = true;
}

void TDownloadThrd::Execute() {
  while (!life_.Terminated()) {
    switch (DownloadState.load()) {
      case dlsIdle:
        Sleep(timing_.idlePoll);
        break;
      case dlsStartRequested:
        BlockCount = 0;
        BytesSent = 0;
        job_ = window_.EnterDownloading();
        break;
      case dlsDownloading: {
        const int result = SendBlock(BlockCount);
        if (result < 0) {
          lastResult_ = result;
          window_.EnterFailed();
          break;
        }
        ++BlockCount;
        BytesSent += static_cast<std::uint32_t>(result);
        window_.ShowProgress(BytesSent);
        if (BytesSent == job_.fileSize) {
          Sleep(timing_.completionPause);
          window_.EnterComplete();
        }
        break;
      }
      case dlsComplete:
        window_.ShowResult("Download Complete", platform::kMbOk);
        window_.ResetAfterDownload();
        break;
      case dlsFailed:
        window_.ShowResult(FailureText(), platform::kMbIconError | platform::kMbOk);
        window_.ResetAfterDownload();
        break;
      default:
        break;
    }
  }
}

int TDownloadThrd::SendBlock(std::uint32_t index) {
  FirmwareBlock block{};
  // Never more than the checked image, even if the file has grown since the check.
  const std::size_t wanted = std::min<std::size_t>(kFirmwareBlockDataSize, job_.fileSize - BytesSent);
  const std::size_t got = std::fread(block.Data, 1, wanted, job_.file);
  if (got < wanted && std::ferror(job_.file) != 0) return SEND_READ_FAIL;
  if (got == kFirmwareBlockDataSize)
    block.SetIndex(index);
  else if (IsWModel(job_.modelCode) && got == kFirmwareTrailerSize)
    block.SetIndex(TRAILER_BLOCK_INDEX);
  else
    return SEND_LENGTH_FAIL;
  if (!job_.port->DeviceIoControl(IOCTL_FIRMWARE_BLOCK, &block, sizeof block)) return SEND_DRIVER_FAIL;
  return static_cast<int>(got);
}

const char* TDownloadThrd::FailureText() const {
  switch (lastResult_) {
    case SEND_DRIVER_FAIL:
      // The 256th block carries the trailer: refusing it means refusing the image itself.
      return BlockCount == 255 ? "The format of Binary file Fail" : "Download Binary file Fail";
    case SEND_LENGTH_FAIL:
      return "Read Download binary file length fail";
    default:
      return "Read Download binary file fail";
  }
}
