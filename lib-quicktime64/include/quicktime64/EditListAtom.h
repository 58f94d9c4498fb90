// The edit list: which spans of the media play, in order. Entries hold the segment's
// duration (movie time scale), its start in the media (media time scale; -1 = an empty edit)
// and its rate (16.16). Version 1 stores duration and media time in 64 bits.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_EDITLISTATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_EDITLISTATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class EditListAtom final : public QuickTimeAtomImpl<EditListAtom, QuickTimeAtomStandardToFlags> {
 public:
  class EditListTableEntry {
   public:
    EditListTableEntry() = default;
    EditListTableEntry(uint64_t trackDuration, int64_t mediaTime, uint32_t mediaRate)
        : trackDuration_(trackDuration), mediaTime_(mediaTime), mediaRate_(mediaRate) {}

    // Wide: the version-1 layout.
    void Read(ByteReader& in, bool wide);
    void Write(ByteWriter& out, bool wide) const;
    void Print(int depth) const;
    void Cat(std::string* out, int depth) const;
    static uint64_t Size(bool wide) { return wide ? 20 : 12; }

    uint64_t TrackDuration() const { return trackDuration_; }
    int64_t MediaTime() const { return mediaTime_; }
    uint32_t MediaRate() const { return mediaRate_; }
    bool operator==(const EditListTableEntry&) const = default;

   private:
    uint64_t trackDuration_ = 0;
    int64_t mediaTime_ = 0;
    uint32_t mediaRate_ = 0x10000;
  };

  EditListAtom() : QuickTimeAtomImpl(FourCC("elst")) {}

  const std::vector<EditListTableEntry>& Entries() const { return entries_; }
  uint32_t GetNumberOfEntries() const { return static_cast<uint32_t>(entries_.size()); }
  void AddEntry(const EditListTableEntry& entry) { entries_.push_back(entry); }
  void ClearEntries() { entries_.clear(); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "EditListAtom"; }

 private:
  std::vector<EditListTableEntry> entries_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_EDITLISTATOM_H_
