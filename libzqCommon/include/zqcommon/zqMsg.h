// The request/response exchange with another camera process: build a command message, send
// it into a mailbox, wait for the response in a reply mailbox of our own.
//
// A typical caller:
//
//   zqmsg rec;                                        // capacity ZQMSG_MAX
//   zqmsg_build(&rec, "KX", arg, 2, CAT_CGI_MK);
//   char reply_name[20];
//   zqmsg_reply_name(reply_name, sizeof reply_name, "/to_kxpair");
//   if (zqmsg_send_timedreceive(&rec, reply_name, "/to_zqnet", nullptr, 0) >= 0) {
//     const uint8_t* value; size_t len;
//     zqmsg_response(&rec, &value, &len);             // the RSPARG bytes
//   }
//
// Reply mailboxes are named after the process id, so two exchanges of one process with the
// same name must not overlap: callers serialise them with a mutex of their own. Within the
// process a name is claimed for the whole exchange; a queue of that name that nobody in this
// process holds was left by an earlier process with the same id and is removed first, so it
// can neither block the exchange nor hand it a stale reply.
//
// A reply comes from another process: when it is malformed the exchange fails (logged with a
// "DMSGERR" line and a hex dump labelled "ERROR"); it never aborts the daemon. Assertions are
// kept for messages the daemon builds wrongly itself.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMSG_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMSG_H_

#include <cstddef>
#include <cstdint>

#include "zqcommon/zqTlv.h"

// A message buffer record. `capacity` is the room for elements handed to the TLV builders;
// the header's 4 bytes come on top of it (see zqTlv.h), hence the size of `msg`.
struct zqmsg {
  uint32_t capacity = ZQMSG_MAX;
  uint32_t length = 0;
  uint8_t msg[ZQMSG_MAX + kTlvHeaderSize] = {};
};

// Why an exchange failed.
enum class ZqmsgFailure {
  kNone,
  kRxOpen,    // the reply mailbox could not be created
  kTxOpen,    // the destination mailbox does not exist
  kTimeout,   // no reply within g_timedreceive seconds
  kBadReply,  // the reply failed validation
};

// Starts a message of `category` in `rec` with CMD (the first 2 bytes of `cmd`) and CMDARG
// (`arg_len` bytes, possibly none). Returns the message length, or -1 when the argument does
// not fit (the record is then left holding a message without CMDARG).
int zqmsg_build(zqmsg* rec, const char* cmd, const void* arg, size_t arg_len, uint8_t category);

// `prefix` followed by the process id in decimal, into `out` (at most `size` - 1 characters).
// Returns false when it does not fit.
bool zqmsg_reply_name(char* out, size_t size, const char* prefix);

// Appends SRC (`src`), DST (`dst`) and the end marker, validates, sends into `via` (or `dst`
// when `via` is nullptr) and closes. A message the daemon built invalid is an assertion
// failure. Returns 0, or -1 when the mailbox cannot be opened or the send fails.
int zqmsg_send(zqmsg* rec, const char* src, const char* dst, const char* via, int dump_index);

// As zqmsg_send, with the reply mailbox `src` created exclusively first (room for
// ZQMSG_MAX_COUNT_SM messages); then waits g_timedreceive seconds for the reply, stores it in
// `rec` and removes `src`. Returns the reply length, or -1 when the exchange failed. The sent
// message is dumped under `dump_index`, the reply under `dump_index` + 1.
int zqmsg_send_timedreceive(zqmsg* rec, const char* src, const char* dst, const char* via,
                            int dump_index);

// The same exchange with the choice of how the reply mailbox is created (`exclusive`: must be
// free, otherwise opened or created) and the reason of a failure in `failure`.
int zqmsg_exchange(zqmsg* rec, const char* src, const char* dst, const char* via, int dump_index,
                   bool exclusive, ZqmsgFailure* failure);

// Points `*value` at the RSPARG value of the message in `rec` and sets `*len`; both are left
// unchanged when there is no RSPARG. Returns true when there was one.
bool zqmsg_response(const zqmsg* rec, const uint8_t** value, size_t* len);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMSG_H_
