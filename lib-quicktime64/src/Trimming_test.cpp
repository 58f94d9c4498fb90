// The trimming helpers over small tables with uneven runs and sparse sync samples.
#include <gtest/gtest.h>

#include "quicktime64/QuickTime64FileUtilities.h"

using Entry = MavrelQuickTime64Atom::TimeToSampleAtom::TimeToSampleTableEntry;
using U = QuickTime64FileUtilities;

namespace {

// Samples 0-2 last 100, samples 3-4 last 50, sample 5 lasts 300 (time scale 1000):
// they start at 0, 100, 200, 300, 350, 400 and the table ends at 700.
const U::TimeToSampleTable kStts = {Entry(3, 100), Entry(2, 50), Entry(1, 300)};

TEST(Trimming, IndicesFromTimes) {
  struct Case {
    double seconds;
    uint32_t earlier, later;
  };
  for (Case c :
       {Case{0, 0, 1}, Case{0.0999, 0, 1}, Case{0.1, 1, 2}, Case{0.349, 3, 4}, Case{0.35, 4, 5},
        Case{0.699, 5, 6}, Case{0.7, 6, 6}, Case{5, 6, 6}, Case{-1, 0, 1}}) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(U::findClosestIndexEarlierThanTime(kStts, c.seconds, 1000), c.earlier);
    EXPECT_EQ(U::findClosestIndexLaterThanTime(kStts, c.seconds, 1000), c.later);
  }
  EXPECT_EQ(U::findClosestIndexEarlierThanTime({}, 1, 1000), 0u);
  EXPECT_EQ(U::findClosestIndexLaterThanTime({}, 1, 1000), 0u);
}

TEST(Trimming, TimesAndDurationsFromIndices) {
  EXPECT_DOUBLE_EQ(U::findTimeAtIndex(kStts, 0, 1000), 0.0);
  EXPECT_DOUBLE_EQ(U::findTimeAtIndex(kStts, 4, 1000), 0.35);
  EXPECT_DOUBLE_EQ(U::findTimeAtIndex(kStts, 6, 1000), 0.7);
  EXPECT_DOUBLE_EQ(U::findTimeAtIndex(kStts, 60, 1000), 0.7);
  EXPECT_DOUBLE_EQ(U::findTimeAtIndex(kStts, 4, 0), 0.0);
  EXPECT_EQ(U::findSampleDurationAtIndex(kStts, 2), 100u);
  EXPECT_EQ(U::findSampleDurationAtIndex(kStts, 3), 50u);
  EXPECT_EQ(U::findSampleDurationAtIndex(kStts, 5), 300u);
  EXPECT_EQ(U::findSampleDurationAtIndex(kStts, 6), 0u);
}

TEST(Trimming, GroupOfPicturesAlignment) {
  const std::set<uint32_t> sync = {3, 7};  // samples 2 and 6 are key frames
  struct Case {
    uint32_t index, limit, smaller, greater;
  };
  for (Case c : {Case{0, 10, 2, 2}, Case{2, 10, 2, 6}, Case{5, 10, 2, 6}, Case{6, 10, 6, 10},
                 Case{9, 10, 6, 10}, Case{9, 5, 4, 5}, Case{1, 10, 2, 2}}) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(U::findGopAlignedIndexSmallerThanSampleIndex(sync, c.index, c.limit), c.smaller);
    EXPECT_EQ(U::findGopAlignedIndexGreaterThanSampleIndex(sync, c.index, c.limit), c.greater);
  }
  // Every sample a key frame.
  EXPECT_EQ(U::findGopAlignedIndexSmallerThanSampleIndex({}, 4, 10), 4u);
  EXPECT_EQ(U::findGopAlignedIndexSmallerThanSampleIndex({}, 12, 10), 9u);
  EXPECT_EQ(U::findGopAlignedIndexGreaterThanSampleIndex({}, 0, 10), 1u);
  EXPECT_EQ(U::findGopAlignedIndexGreaterThanSampleIndex({}, 4, 10), 5u);
  EXPECT_EQ(U::findGopAlignedIndexGreaterThanSampleIndex({}, 12, 10), 10u);
  // From times: 0.36 s is in sample 4; its group starts at 2 and the next at 6.
  EXPECT_EQ(U::findClosestGopAlignedIndexEarlierThanTime(kStts, sync, 0.36, 1000, 6), 2u);
  EXPECT_EQ(U::findClosestGopAlignedIndexLaterThanTime(kStts, sync, 0.36, 1000, 6), 6u);
}

TEST(Trimming, TrimmedTables) {
  U::TimeToSampleTable out;
  ASSERT_EQ(U::createTrimmedTimeToSampleTable(kStts, &out, 2, 5), 0u);
  EXPECT_EQ(out, (U::TimeToSampleTable{Entry(1, 100), Entry(2, 50)}));
  ASSERT_EQ(U::createTrimmedTimeToSampleTable(kStts, &out, 0, 6), 0u);
  EXPECT_EQ(out, kStts);
  ASSERT_EQ(U::createTrimmedTimeToSampleTable(kStts, &out, 4, 4), 0u);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(U::createTrimmedTimeToSampleTable(kStts, &out, 5, 4), 4u);
  // Neighbouring runs of one duration merge once the span between them is cut away.
  const U::TimeToSampleTable split = {Entry(2, 10), Entry(1, 20), Entry(2, 10)};
  ASSERT_EQ(U::createTrimmedTimeToSampleTable(split, &out, 3, 5), 0u);
  EXPECT_EQ(out, (U::TimeToSampleTable{Entry(2, 10)}));

  std::set<uint32_t> sync;
  ASSERT_EQ(U::createTrimmedSyncSampleTable({1, 3, 7, 9}, &sync, 2, 8), 0u);
  EXPECT_EQ(sync, (std::set<uint32_t>{1, 5}));
  EXPECT_EQ(U::createTrimmedSyncSampleTable({1}, &sync, 3, 2), 4u);
}

TEST(FileAccessLock, ReadyFromStartAndRefusesNoLock) {
  EXPECT_TRUE(U::haveFileAccessLock);
  EXPECT_EQ(pthread_mutex_trylock(&U::fileAccessLock), 0);
  pthread_mutex_unlock(&U::fileAccessLock);
  EXPECT_FALSE(U::InitializeQuickTime64FileUtilitiesLock(nullptr));
}

}  // namespace
