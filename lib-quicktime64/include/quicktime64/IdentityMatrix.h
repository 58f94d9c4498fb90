// The identity transformation matrix of movie and track headers (16.16 and 2.30 fixed point).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_IDENTITYMATRIX_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_IDENTITYMATRIX_H_

#include <array>
#include <cstdint>

namespace MavrelQuickTime64Atom {

inline constexpr std::array<uint32_t, 9> kIdentityMatrix = {0x10000, 0, 0, 0,         0x10000,
                                                            0,       0, 0, 0x40000000};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_IDENTITYMATRIX_H_
