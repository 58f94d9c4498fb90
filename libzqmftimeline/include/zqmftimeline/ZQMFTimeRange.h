// A span of a recording, in seconds: from `start` to start + duration.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMERANGE_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMERANGE_H_

class ZQMFTimeRange {
 public:
  ZQMFTimeRange() = default;
  ZQMFTimeRange(double start, double duration) : start_(start), duration_(duration) {}

  double start() const { return start_; }
  double duration() const { return duration_; }
  double end() const { return start_ + duration_; }

 private:
  double start_ = 0;
  double duration_ = 0;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMERANGE_H_
