// Decoding times: runs of samples of equal duration (media time-scale units).
//
// Lookups use an index of the runs' first sample and first time, built on first use and
// dropped when the table changes, so each costs O(log runs). All spans are 64-bit.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMETOSAMPLEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMETOSAMPLEATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class TimeToSampleAtom final
    : public QuickTimeAtomImpl<TimeToSampleAtom, QuickTimeAtomStandardToFlags> {
 public:
  class TimeToSampleTableEntry {
   public:
    TimeToSampleTableEntry() = default;
    TimeToSampleTableEntry(uint32_t sampleCount, uint32_t sampleDuration)
        : sampleCount_(sampleCount), sampleDuration_(sampleDuration) {}

    void Read(ByteReader& in);
    void Write(ByteWriter& out) const;
    void Print(int depth) const;
    void Cat(std::string* out, int depth) const;
    static uint64_t Size() { return 8; }

    uint32_t SampleCount() const { return sampleCount_; }
    uint32_t SampleDuration() const { return sampleDuration_; }
    void SetSampleCount(uint32_t n) { sampleCount_ = n; }
    bool operator==(const TimeToSampleTableEntry&) const = default;

   private:
    uint32_t sampleCount_ = 0;
    uint32_t sampleDuration_ = 0;
  };

  TimeToSampleAtom() : QuickTimeAtomImpl(FourCC("stts")) {}

  // Media time -> 0-based sample index. A time at the end of a run maps to the first sample
  // of the next run. 1 when `index` is null, the table is empty, or the time lies past the
  // last run (or is negative).
  uint32_t MapSampleTimeToSampleIndex(int64_t time, uint32_t* index) const;
  // 0-based sample index -> its decoding time; 1 past the end.
  uint32_t MapSampleIndexToSampleTime(uint32_t index, int64_t* time) const;
  // 0-based sample index -> its duration; 1 past the end.
  uint32_t MapSampleIndexToSampleDuration(uint32_t index, uint32_t* duration) const;
  // Smallest and largest duration over all runs; an empty table leaves both untouched.
  uint32_t GetMinimumAndMaximumSampleDuration(uint32_t* minimum, uint32_t* maximum) const;
  // Appends `count` samples of `duration`, extending the last run when it has that duration.
  void SetSampleCountAndDuration(uint32_t count, uint32_t duration);

  const std::vector<TimeToSampleTableEntry>& Entries() const { return entries_; }
  void SetEntries(std::vector<TimeToSampleTableEntry> entries);
  void AppendEntries(const std::vector<TimeToSampleTableEntry>& entries);
  uint32_t GetNumberOfEntries() const { return static_cast<uint32_t>(entries_.size()); }
  // Samples the table describes, and their total duration.
  uint64_t TotalSamples() const;
  uint64_t TotalDuration() const;

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "TimeToSampleAtom"; }

 private:
  struct RunStart {
    uint64_t sample;  // index of the run's first sample
    uint64_t time;    // decoding time of the run's first sample
  };
  const std::vector<RunStart>& Index() const;
  // The run holding sample `index`, or entries_.size().
  size_t RunOfSample(uint64_t index) const;

  std::vector<TimeToSampleTableEntry> entries_;
  mutable std::vector<RunStart> index_;  // entries_.size() + 1 items once built
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMETOSAMPLEATOM_H_
