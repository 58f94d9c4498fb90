// TLV messages: the command/response records exchanged with the camera's other processes
// over POSIX message queues (see zqMbox.h, zqMsg.h).
//
// Message (multi-byte numbers big-endian):
//
//   offset 0  u16  total length in bytes, this header included
//   offset 2  u8   reserved, written 0
//   offset 3  u8   category (CAT): 0..239 are known; odd marks a response, even a command
//   offset 4  ...  elements, back to back, no padding
//
// Element:
//
//   offset 0  u8   0
//   offset 1  u16  length of the value in bytes
//   offset 3  u8   type (TLV_CMD, TLV_CMDARG, ...)
//   offset 4  ...  value
//
// A valid message is 18 to ZQMSG_MAX bytes long, holds CMD, CMDARG, SRC and DST elements and
// ends with exactly one end marker (type 0xEE, length 0); a response should also carry RSPARG.
//
// Buffers: `buf` always points at the message header. The builders take a `capacity` that
// counts the room for elements: the 4 header bytes come on top of it, so a buffer given
// capacity C must hold C + 4 bytes. The readers (tlv_find, sntlv_find, ...) read only bytes
// below the length field, so the buffer must hold at least that many bytes: true for every
// message that passed tlv_validate or was built here. All functions are reentrant.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQTLV_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQTLV_H_

#include <cstddef>
#include <cstdint>

// Largest message in bytes, also the mailbox message size.
inline constexpr size_t ZQMSG_MAX = 1500;
// Smallest valid message: header, CMD, CMDARG, SRC, DST and end marker need at least this.
inline constexpr size_t kTlvMinMessage = 18;
inline constexpr size_t kTlvHeaderSize = 4;
inline constexpr size_t kTlvElementHeaderSize = 4;
// Categories above this are unknown.
inline constexpr uint8_t kTlvMaxCategory = 239;

// Categories of the daemon's own exchanges: a command and its response.
inline constexpr uint8_t CAT_CGI_MK = 2;
inline constexpr uint8_t CAT_CGI_MK_RSP = 3;

// Element types.
inline constexpr uint8_t TLV_CMD = 0x41;     // 'A': two ASCII letters
inline constexpr uint8_t TLV_CMDARG = 0x42;  // 'B': the command's argument bytes
inline constexpr uint8_t TLV_DST = 0x43;     // 'C': destination mailbox name, no NUL
inline constexpr uint8_t TLV_SRC = 0x44;     // 'D': mailbox the response goes to, no NUL
inline constexpr uint8_t TLV_RSPARG = 0x45;  // 'E': the response's result bytes
inline constexpr uint8_t TLV_VOID = 0x58;    // 'X': an element blanked by sntlv_void
inline constexpr uint8_t TLV_END = 0xEE;     // end marker, length 0, always last

// Results of tlv_validate besides 0.
inline constexpr int kTlvBadFrame = -1;     // length, framing or end marker
inline constexpr int kTlvBadCategory = -2;  // category above 239
inline constexpr int kTlvMissing = -3;      // CMD, SRC, DST or CMDARG missing

// Starts a message: length 4, reserved 0, `category`. Returns 4.
int sntlv_msg_init(uint8_t* buf, size_t capacity, uint8_t category);

// The length field.
uint16_t sntlv_msg_len(const uint8_t* buf);

// Appends one element at the message's end and adds its size (len + 4) to the length field.
// Returns that size, or 0 (message unchanged) when it exceeds `capacity` less the bytes the
// elements already use (length - 4). An empty SRC or DST is an assertion failure.
int sntlv_add_bin(uint8_t* buf, size_t capacity, uint8_t type, size_t len, const void* data);

// Appends the first `len` (0 to 4) bytes of `value` as it is stored in memory; with len 0 it
// appends an empty element such as the end marker. Results as sntlv_add_bin.
int sntlv_add_dat(uint8_t* buf, size_t capacity, uint8_t type, size_t len, uint32_t value);

// The first element of `type` (pointer at its 4-byte header), or nullptr. The walk starts at
// offset 4 and stops at the length field; an element that would run past it is not returned.
const uint8_t* tlv_find(const uint8_t* buf, uint8_t type);
uint8_t* tlv_find(uint8_t* buf, uint8_t type);

// Value length of the element `tlv` points at.
uint16_t tlv_value_len(const uint8_t* tlv);

// Copies the value of the first element of `type` to `out` and returns its length; 0 when
// there is none or its length is not smaller than `out_capacity` (so a text value can always
// be terminated by the caller).
int sntlv_find(void* out, size_t out_capacity, uint8_t type, const uint8_t* buf);

// 0 for a valid message, kTlvBadFrame, kTlvBadCategory or kTlvMissing otherwise. Checks, in
// order: length 18..1500, the element sizes add up to the length, the last byte is 0xEE, CMD,
// DST and SRC present, the first end marker is the last element, the category is known, and
// CMDARG present. A response without RSPARG is valid (a warning is logged). Each failure is
// logged with the debug facility when the verbosity byte of g_debug_level exceeds 15.
int tlv_validate(const uint8_t* buf);

// Sets the first element of `type` to TLV_VOID and zeroes its value (its length stays). An
// absent element is an assertion failure ("tlv != NULL").
void sntlv_void(uint8_t* buf, uint8_t type);

// Shortens the length field by the size of the first element of `type` and returns minus that
// size. Nothing moves, so this only drops the last element (the end marker, before appending
// more). An absent element is an assertion failure ("tlvend != NULL").
int sntlv_remove(uint8_t* buf, size_t capacity, uint8_t type);

// Writes the `nbytes` (1 to 4) low-order bytes of `value`, most significant first, and returns
// `nbytes`; 0 (nothing written) for another count or when `out_capacity` is too small.
int snLoclItoI(void* out, size_t out_capacity, size_t nbytes, uint32_t value);

// Copies `len` bytes when 1 <= len <= capacity and returns len; else 0 (nothing copied).
int snLoclbin(void* dst, size_t capacity, size_t len, const void* src);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQTLV_H_
