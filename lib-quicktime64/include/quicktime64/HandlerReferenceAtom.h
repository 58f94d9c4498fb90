// The handler reference: what kind of media a track holds (subtype `vide`, `soun`, `tmcd`,
// `text`, `meta`, ...) and the handler's name. The name fills the rest of the atom; files
// store it either as a Pascal string or as a C string, and both are read. It is always
// written as a Pascal string (length byte capped at 255).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_HANDLERREFERENCEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_HANDLERREFERENCEATOM_H_

#include <string>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class HandlerReferenceAtom final
    : public QuickTimeAtomImpl<HandlerReferenceAtom, QuickTimeAtomStandardToFlags> {
 public:
  HandlerReferenceAtom() : QuickTimeAtomImpl(FourCC("hdlr")) {}

  uint32_t ComponentType() const { return componentType_; }
  uint32_t ComponentSubtype() const { return componentSubtype_; }
  uint32_t ComponentManufacturer() const { return componentManufacturer_; }
  uint32_t ComponentFlags() const { return componentFlags_; }
  uint32_t ComponentFlagsMask() const { return componentFlagsMask_; }
  const std::string& ComponentName() const { return componentName_; }
  void SetComponentType(uint32_t v) { componentType_ = v; }
  void SetComponentSubtype(uint32_t v) { componentSubtype_ = v; }
  void SetComponentManufacturer(uint32_t v) { componentManufacturer_ = v; }
  void SetComponentFlags(uint32_t v) { componentFlags_ = v; }
  void SetComponentFlagsMask(uint32_t v) { componentFlagsMask_ = v; }
  void SetComponentName(std::string name) { componentName_ = std::move(name); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "HandlerReferenceAtom"; }

 private:
  uint32_t componentType_ = 0;
  uint32_t componentSubtype_ = 0;
  uint32_t componentManufacturer_ = 0;
  uint32_t componentFlags_ = 0;
  uint32_t componentFlagsMask_ = 0;
  std::string componentName_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_HANDLERREFERENCEATOM_H_
