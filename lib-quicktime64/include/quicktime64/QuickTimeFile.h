// What a reader and a writer of an MP4 file share: the movie and the file type atom.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEFILE_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEFILE_H_

#include "quicktime64/FtypAtom.h"
#include "quicktime64/MovieAtom.h"
#include "quicktime64/QuickTime64.h"

class QuickTimeFile : public QuickTime64 {
 public:
  // Handler name of the camera's telemetry track.
  static constexpr const char* TavroMetadataTelemetryComponentName = "Tavro MET";

  MavrelQuickTime64Atom::MovieAtom& GetMovie() { return movie_; }
  const MavrelQuickTime64Atom::MovieAtom& GetMovie() const { return movie_; }
  MavrelQuickTime64Atom::FtypAtom& GetFtyp() { return ftyp_; }
  const MavrelQuickTime64Atom::FtypAtom& GetFtyp() const { return ftyp_; }

 protected:
  MavrelQuickTime64Atom::MovieAtom movie_;
  MavrelQuickTime64Atom::FtypAtom ftyp_;
};

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEFILE_H_
