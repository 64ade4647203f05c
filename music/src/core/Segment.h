// One loaded file with its playing options: the Standard MIDI File mark,
// the start point and, per performance it was downloaded to, the
// synthesizer that renders it.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "content/Content.h"
#include "synth/Synth.h"
#include "tonewell_music_control.h"

namespace twm {

// Shared with the segment's plays, which may outlive the segment.
struct SegmentStatus {
    std::atomic<int32_t> playing{0};
    std::atomic<uint32_t> plays{0};
};

// What a play needs, taken from the segment when it starts.
struct PlaySetup {
    uint64_t segmentId = 0;
    std::shared_ptr<const Content> content;
    std::shared_ptr<Synth> synth;  // MIDI only
    std::shared_ptr<SegmentStatus> status;
    bool generalMidi = false;
    int64_t startTick = 0;
};

class Segment : public twm_segment {
public:
    Segment(std::shared_ptr<const Content> content, std::string path, std::string searchDirectory);
    ~Segment();
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;

    static Segment* from(twm_segment* s) { return static_cast<Segment*>(s); }

    uint64_t id() const { return id_; }
    const std::shared_ptr<const Content>& content() const { return content_; }

    int32_t markStandardMidi();
    int32_t setRepeats(uint32_t repeats);
    int32_t setStartPoint(int64_t ticks);
    int32_t getStartPoint(int64_t* ticks) const;
    int32_t durationMs(uint32_t* ms) const;
    int32_t download(uint64_t performanceId);
    int32_t unload(uint64_t performanceId);
    // TWM_E_NOTDOWNLOADED when not downloaded to that performance.
    int32_t playSetup(uint64_t performanceId, PlaySetup& out) const;
    void info(twm_segment_info& out) const;

private:
    struct Download {
        int32_t count = 0;
        std::shared_ptr<Synth> synth;
    };

    const uint64_t id_;
    const std::shared_ptr<const Content> content_;
    const std::string path_;
    const std::string searchDirectory_;
    const std::shared_ptr<SegmentStatus> status_ = std::make_shared<SegmentStatus>();

    mutable std::mutex mutex_;
    bool marked_ = false;
    int64_t startPoint_ = 0;
    std::map<uint64_t, Download> downloads_;
};

}  // namespace twm
