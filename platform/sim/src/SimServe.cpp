#include "zqsim/SimServe.h"

#include <cstdio>
#include <string>

#include "zqsim/SimMediaDb.h"

namespace zqsim {

void ServeStart() {
  std::string error;
  if (!MediaDbStart(&error))
    fprintf(stderr, "zqsim: media database not served: %s\n", error.c_str());
}

void ServeStop() { MediaDbStop(); }

}  // namespace zqsim
