// 128-bit integers, for integer terms whose exact value needs more than 64
// bits (products of 33-bit coordinate differences).
#pragma once

namespace pelmoro {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

}  // namespace pelmoro
