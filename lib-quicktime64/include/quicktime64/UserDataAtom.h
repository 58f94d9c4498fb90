// The movie's user data (`udta`): the maker's atoms, each parsed into its class, and every
// other child kept as bytes, keyed by type (the first of a type wins). Written in a fixed
// order: FIRM, ZQMF, CAME, SETT, Lens, LENS, FOV, QURI, QUSI, SMMT, MUID, then the others by
// ascending type.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_USERDATAATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_USERDATAATOM_H_

#include <map>
#include <vector>

#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/TavroCameraFOVAtom.h"
#include "quicktime64/TavroCameraIDAtom.h"
#include "quicktime64/TavroCameraLens2Atom.h"
#include "quicktime64/TavroCameraLensAtom.h"
#include "quicktime64/TavroCameraQURIAtom.h"
#include "quicktime64/TavroCameraQUSIAtom.h"
#include "quicktime64/TavroCameraSettingsAtom.h"
#include "quicktime64/TavroFirmwareAtom.h"
#include "quicktime64/TavroMediaUniqueIdAtom.h"
#include "quicktime64/TavroSpotmarkTagAtom.h"
#include "quicktime64/TavroZQMFAtom.h"
#include "quicktime64/UnparsedAtom.h"

namespace MavrelQuickTime64Atom {

class UserDataAtom final : public QuickTimeAtomImpl<UserDataAtom, QuickTimeAtom> {
 public:
  UserDataAtom() : QuickTimeAtomImpl(FourCC("udta")) {}

  TavroFirmwareAtom* GetFirmware() const { return firmware_.get(); }
  TavroFirmwareAtom& EnsureFirmware() { return firmware_.Ensure(); }
  TavroZQMFAtom* GetZQMF() const { return zQMF_.get(); }
  TavroZQMFAtom& EnsureZQMF() { return zQMF_.Ensure(); }
  TavroCameraIDAtom* GetCameraID() const { return cameraID_.get(); }
  TavroCameraIDAtom& EnsureCameraID() { return cameraID_.Ensure(); }
  TavroCameraSettingsAtom* GetCameraSettings() const { return cameraSettings_.get(); }
  TavroCameraSettingsAtom& EnsureCameraSettings() { return cameraSettings_.Ensure(); }
  TavroCameraLensAtom* GetCameraLens() const { return cameraLens_.get(); }
  TavroCameraLensAtom& EnsureCameraLens() { return cameraLens_.Ensure(); }
  TavroCameraLens2Atom* GetCameraLens2() const { return cameraLens2_.get(); }
  TavroCameraLens2Atom& EnsureCameraLens2() { return cameraLens2_.Ensure(); }
  TavroCameraFOVAtom* GetCameraFOV() const { return cameraFOV_.get(); }
  TavroCameraFOVAtom& EnsureCameraFOV() { return cameraFOV_.Ensure(); }
  TavroCameraQURIAtom* GetCameraQURI() const { return cameraQURI_.get(); }
  TavroCameraQURIAtom& EnsureCameraQURI() { return cameraQURI_.Ensure(); }
  TavroCameraQUSIAtom* GetCameraQUSI() const { return cameraQUSI_.get(); }
  TavroCameraQUSIAtom& EnsureCameraQUSI() { return cameraQUSI_.Ensure(); }
  TavroSpotmarkTagAtom* GetSpotmarkTag() const { return spotmarkTag_.get(); }
  TavroSpotmarkTagAtom& EnsureSpotmarkTag() { return spotmarkTag_.Ensure(); }
  TavroMediaUniqueIdAtom* GetMediaUniqueId() const { return mediaUniqueId_.get(); }
  TavroMediaUniqueIdAtom& EnsureMediaUniqueId() { return mediaUniqueId_.Ensure(); }
  const std::map<uint32_t, UnparsedAtom>& Unparsed() const { return unparsed_; }
  // The unparsed child of `type`, or null.
  const UnparsedAtom* FindUnparsed(uint32_t type) const;
  void AddUnparsed(const UnparsedAtom& atom) { unparsed_.emplace(atom.Type(), atom); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "UserDataAtom"; }

 private:
  // The maker atoms in writing order.
  std::vector<const QuickTimeAtom*> MakerAtoms() const;

  Owned<TavroFirmwareAtom> firmware_;
  Owned<TavroZQMFAtom> zQMF_;
  Owned<TavroCameraIDAtom> cameraID_;
  Owned<TavroCameraSettingsAtom> cameraSettings_;
  Owned<TavroCameraLensAtom> cameraLens_;
  Owned<TavroCameraLens2Atom> cameraLens2_;
  Owned<TavroCameraFOVAtom> cameraFOV_;
  Owned<TavroCameraQURIAtom> cameraQURI_;
  Owned<TavroCameraQUSIAtom> cameraQUSI_;
  Owned<TavroSpotmarkTagAtom> spotmarkTag_;
  Owned<TavroMediaUniqueIdAtom> mediaUniqueId_;
  std::map<uint32_t, UnparsedAtom> unparsed_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_USERDATAATOM_H_
