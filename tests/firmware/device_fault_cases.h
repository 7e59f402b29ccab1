// Every misbehaviour of the device simulator with the failure text the network download
// ends with: the worker's tests and its window's share the table.
#pragma once

#include <cstdint>

#include "devsim/device_simulator.h"
#include "firmware/download_thread_v2.h"
#include "firmware/monitor_link.h"

struct DeviceFaultCase {
  devsim::Fault fault;
  std::uint32_t code;  // the refused command or monitor code, where the fault takes one
  const char* text;
};

inline const DeviceFaultCase kDeviceFaultCases[] = {
    {devsim::Fault::kWrongMagic, 0, "The Device fail to process the download command"},
    {devsim::Fault::kWrongTransactionId, 0, "The Device fail to process the download command"},
    {devsim::Fault::kAnnounceTooMuch, 0, "The Device fail to process the download command"},
    {devsim::Fault::kRefuseCommand, kCmdDeviceInformation, "The Device fail to process the download command"},
    {devsim::Fault::kRefuseCommand, kCmdErase, "The Device fail to erase the old image"},
    {devsim::Fault::kRefuseCommand, kCmdReset, "Fail to reset the device for download"},
    {devsim::Fault::kRefuseCommand, kCmdInit, "The Device fail to process the download INIT command"},
    {devsim::Fault::kRefuseCommand, kCmdImage, "The Device fail to process the download IMG command"},
    {devsim::Fault::kRefuseCommand, kCmdComplete, "The Device fail to process the download COMPLETE command"},
    {devsim::Fault::kRefuseCommand, kCmdRomDownload, "The Device fail to process the rom download command"},
    {devsim::Fault::kCloseMidTransfer, 0, "The Device fail to process the download IMG command"},
    {devsim::Fault::kFallSilent, 0, "The Device fail to process the download IMG command"},
    {devsim::Fault::kNakMonitorCode, kMonIdentify, "The target device is unsupported"},
    {devsim::Fault::kNakMonitorCode, kMonBeginDownload, "The intialization of download procedure fail"},
    {devsim::Fault::kNakMonitorCode, kMonDataBlock, "The procedure of downloading image fail"},
    {devsim::Fault::kNakMonitorCode, kMonEndDownload, "The final procedure of downloading image fail"},
    {devsim::Fault::kNakMonitorCode, kMonActiveSetting, "The active setting of downloading image fail"},
    {devsim::Fault::kNakMonitorCode, kMonReboot, "The reboot of downloading image fail"},
};
