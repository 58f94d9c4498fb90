// The root of the library's file objects (readers and writers of whole MP4 files).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64_H_

class QuickTime64 {
 public:
  QuickTime64() = default;
  virtual ~QuickTime64();
  QuickTime64(const QuickTime64&) = delete;
  QuickTime64& operator=(const QuickTime64&) = delete;
};

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64_H_
