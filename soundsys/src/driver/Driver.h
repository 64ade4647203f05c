// The internal interface between the module core and a driver.
//
// The core implements the C objects of tonewell_sound.h: argument checks,
// format parsing, the ring memory with its lock regions, cursors,
// notification positions, status bits, volume and the buffer-lost state
// (BufferCore). A driver supplies the device-facing side only: the device
// list, capabilities, which formats a device takes, and for every buffer a
// Stream that moves its cursor and consumes (output) or produces (capture)
// the bytes the cursor passes.
//
// What the core has checked before it calls a driver:
//  - every pointer argument is non-null, struct sizes (dwSize) are right;
//  - a format is integer PCM (plain or extensible), 1..8 channels, 8/16/24/32
//    bit containers, consistent block align and byte rate (Format);
//  - a buffer size is a whole number of frames within TWS_BSIZE_MIN..MAX.
// What the driver must still check: its device exists and can be opened
// (TWS_ERR_NODRIVER, TWS_ERR_ALLOCATED), the sample rate (and anything else
// the device restricts) is acceptable (TWS_ERR_BADFORMAT).
//
// Threads and lifetime:
//  - Driver, device and stream calls come from any caller thread, possibly
//    several at once; each implementation synchronises itself.
//  - A device object is shared by the sound/capture object and every buffer
//    made from it, and lives until the last of them is released.
//  - A Stream runs on the driver's own thread(s). It reaches its buffer only
//    through BufferCore::service(), which takes the buffer's lock and calls
//    back into the stream's Transport under it. It hands the notices it
//    collects to the core Dispatcher, never calling a callback itself while
//    holding a lock.
//  - Destroying a Stream detaches it: when the destructor returns, the
//    driver no longer touches the buffer. The core has closed the buffer's
//    delivery token before, so no callback of the buffer runs afterwards.
//  - The driver's threads must be joined when their last stream is gone and
//    when the driver is destroyed (module unload).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Format.h"
#include "tonewell_sound.h"

namespace tws {

class BufferCore;

enum class Direction : uint32_t { Output = 1, Capture = 2 };

// Buffer operations that can be made to fail (numbers of the control API).
enum class Method : uint32_t {
    Create = 1,
    Lock,
    Unlock,
    Play,
    Start,
    Stop,
    SetPosition,
    GetPosition,
    SetVolume,
    GetVolume,
    SetNotifications,
    GetStatus,
    GetFormat,
    Restore,
};

struct DeviceEntry {
    tws_guid guid;
    std::string description;
    std::string module;
};

// The device-facing side of one buffer.
class Stream {
public:
    virtual ~Stream() = default;
    // The buffer's state changed (started, stopped, moved, new positions).
    // Called without the buffer's lock; must not block for long.
    virtual void wake() = 0;
    // Called under the buffer's lock for a lost buffer: TWS_OK when the
    // device gives the buffer back, TWS_ERR_BUFFERLOST while it does not.
    virtual tws_result restore() = 0;
};

class OutputDevice {
public:
    virtual ~OutputDevice() = default;
    // caps.dwSize is checked; fill the rest.
    virtual tws_result getCaps(tws_caps& caps) = 0;
    virtual tws_result checkFormat(const Format& format) = 0;
    virtual tws_result openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) = 0;
};

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;
    virtual tws_result getCaps(tws_capture_caps& caps) = 0;
    // May change the format to what the device will really capture.
    virtual tws_result adjustFormat(Format& format) = 0;
    virtual tws_result openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) = 0;
};

class Driver {
public:
    virtual ~Driver() = default;
    // The devices in enumeration order (without the primary entry, which the
    // core adds).
    virtual tws_result enumerate(Direction direction, std::vector<DeviceEntry>& out) = 0;
    // A null guid (or all zero) means the first device of that direction.
    virtual tws_result openOutput(const tws_guid* guid, std::shared_ptr<OutputDevice>& out) = 0;
    virtual tws_result openCapture(const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) = 0;
    // Injected failure of a buffer method, consumed by the call (TWS_OK: none).
    virtual tws_result methodFault(Method, Direction) { return TWS_OK; }
};

}  // namespace tws
