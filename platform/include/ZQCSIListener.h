// Contract of the camera-status listener: cached copies of chosen status values that follow
// changes made by other processes.
#ifndef ZQ_PLATFORM_INCLUDE_ZQCSILISTENER_H_
#define ZQ_PLATFORM_INCLUDE_ZQCSILISTENER_H_

#include <cstdint>
#include <vector>

class ZQCSIListener {
 public:
  // The process-wide listener, or nullptr when the library cannot provide one.
  static ZQCSIListener* GetInstance();

  virtual ~ZQCSIListener() = default;

  // Connects the listener under the notification name `name` (e.g. "/to_zqhttp").
  virtual bool Init(bool start_thread, const char* name) = 0;
  // Adds ids (0..255) whose values the listener follows.
  virtual void RegisterForCSINotifications(const std::vector<uint32_t>& ids) = 0;
  // True once every registered id has a value.
  virtual bool AllValuesReceived() = 0;
  // The latest value of `id` (its first four bytes, little-endian). False when unknown.
  virtual bool GetCSIValue(uint32_t id, uint32_t& value) = 0;
};

#endif  // ZQ_PLATFORM_INCLUDE_ZQCSILISTENER_H_
