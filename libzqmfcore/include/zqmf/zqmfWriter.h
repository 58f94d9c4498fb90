// ZQMF writer: builds a stream (format in zqmf/zqmfParser.h) record by record, and the
// compressor whose payloads ZQMF_Decompress expands.
//
// Typical use, one payload of a recording:
//
//   ZQMFWriter w;
//   w.BeginNest("DEVC");
//   w.AddValue("DVID", uint32_t{1});
//   w.AddString("DVNM", "Camera");
//   w.BeginNest("STRM");
//   w.AddValue("TSMP", uint32_t{200});
//   w.AddValue("SCAL", int16_t{418});
//   w.AddValues("ACCL", xyz, 3, 200);     // 200 samples of three int16 values
//   w.EndNest();
//   w.EndNest();
//   std::vector<uint8_t> bytes;
//   if (w.Finish(&bytes) != ZQMF_OK) ...
//
// Errors are sticky: the first failing call's code is kept, later calls do nothing and return
// it, and Finish reports it. A writer is used by one thread at a time.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFWRITER_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFWRITER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "zqmf/zqmfParser.h"

// Compresses `repeat` samples of `structSize` bytes of element type `type` (given in stream,
// that is big-endian, order) into the payload of a '#' record, inner header included, in
// `*out`. Each element is coded as channels of its width (1 byte for 1-byte types, else 16-bit
// halves). `quantisers`: none for lossless coding, or one for all channels, or one per channel;
// a quantiser q > 1 codes each change rounded to a multiple of q (1-byte types take q <= 255).
// 1 for bad arguments, 9 for a type without an element size.
ZQMF_ERROR ZQMF_Compress(uint32_t type, uint32_t structSize, uint32_t repeat,
                         const void* streamData, const uint16_t* quantisers,
                         uint32_t quantiserCount, std::vector<uint8_t>* out);

class ZQMFWriter {
 public:
  ZQMFWriter() = default;

  // Opens a nested record; on the top level only "DEVC" is allowed. At most ZQMF_NEST_LIMIT
  // open nests.
  ZQMF_ERROR BeginNest(std::string_view key);
  ZQMF_ERROR EndNest();

  // A record of `repeat` samples of `structSize` bytes whose payload `hostData` is in host
  // order; it is byte-swapped per `type` ('?' by the nest's last "TYPE" record).
  ZQMF_ERROR Add(std::string_view key, uint32_t type, uint32_t structSize, uint32_t repeat,
                 const void* hostData);
  // The same with the payload already in stream order (written as given).
  ZQMF_ERROR AddRaw(std::string_view key, uint32_t type, uint32_t structSize, uint32_t repeat,
                    const void* streamData);
  // Text as one 'c' sample of the text's length.
  ZQMF_ERROR AddString(std::string_view key, std::string_view text);
  // `samples` samples of `elements` numbers each; the type follows T (int8_t 'b', uint8_t
  // 'B', int16_t 's', uint16_t 'S', int32_t 'l', uint32_t 'L', int64_t 'j', uint64_t 'J',
  // float 'f', double 'd').
  template <class T>
  ZQMF_ERROR AddValues(std::string_view key, const T* values, uint32_t elements, uint32_t samples) {
    return Add(key, TypeOf<T>(), elements * static_cast<uint32_t>(sizeof(T)), samples, values);
  }
  template <class T>
  ZQMF_ERROR AddValue(std::string_view key, T value) {
    return AddValues(key, &value, 1, 1);
  }
  // A "TYPE" record with `typeString` (for example "f[3]L"), then a '?' record of `repeat`
  // structures whose packed elements `hostData` are in host order.
  ZQMF_ERROR AddComplex(std::string_view key, std::string_view typeString, uint32_t repeat,
                        const void* hostData);
  // A compressed record of samples given in host order (see ZQMF_Compress).
  ZQMF_ERROR AddCompressed(std::string_view key, uint32_t type, uint32_t structSize,
                           uint32_t repeat, const void* hostData,
                           const uint16_t* quantisers = nullptr, uint32_t quantiserCount = 0);

  // Hands over the stream and starts an empty one. 2 while a nest is open or when nothing was
  // written; the sticky error otherwise.
  ZQMF_ERROR Finish(std::vector<uint8_t>* out);

  ZQMF_ERROR status() const { return status_; }
  size_t size() const { return bytes_.size(); }
  uint32_t depth() const { return static_cast<uint32_t>(open_.size()); }

  template <class T>
  static constexpr uint32_t TypeOf() {
    if constexpr (std::is_same_v<T, int8_t>) {
      return 'b';
    } else if constexpr (std::is_same_v<T, uint8_t>) {
      return 'B';
    } else if constexpr (std::is_same_v<T, int16_t>) {
      return 's';
    } else if constexpr (std::is_same_v<T, uint16_t>) {
      return 'S';
    } else if constexpr (std::is_same_v<T, int32_t>) {
      return 'l';
    } else if constexpr (std::is_same_v<T, uint32_t>) {
      return 'L';
    } else if constexpr (std::is_same_v<T, int64_t>) {
      return 'j';
    } else if constexpr (std::is_same_v<T, uint64_t>) {
      return 'J';
    } else if constexpr (std::is_same_v<T, float>) {
      return 'f';
    } else {
      static_assert(std::is_same_v<T, double>, "numeric element types only");
      return 'd';
    }
  }

 private:
  struct Nest {
    size_t header;     // offset of the nested record's header
    std::string type;  // the last "TYPE" string written directly inside
  };

  ZQMF_ERROR Fail(ZQMF_ERROR code);
  ZQMF_ERROR CheckRecord(std::string_view key, uint32_t structSize, uint32_t repeat);
  void PutHeader(std::string_view key, uint32_t type, uint32_t structSize, uint32_t repeat);
  void Pad();

  std::vector<uint8_t> bytes_;
  std::vector<Nest> open_;
  ZQMF_ERROR status_ = ZQMF_OK;
};

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFWRITER_H_
