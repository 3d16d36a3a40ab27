// Generated with tools/encipher under the key below; the plain texts are in the tests.
#include "base/cipher.h"

namespace constants {
const char* const kKey = "Rh2026";
const char* const kCaption =
    "77,A8,07,36,11,50,6B,";
const char* const kAuthor =
    "F2,30,BF,81,D3,9F,55,1C,05,3D,29,89,14,AC,3A,F7,ED,44,56,BC,";
const char* const kNotice =
    "94,79,A2,B3,CC,DB,C4,91,DF,84,FF,5E,CA,30,26,F1,E7,10,38,FC,E9,94,FD,E0,A9,C6,29,95,93,68,02,1B,";
const char* const kContact =
    "E4,6D,A5,EB,D3,9F,75,1C,05,3D,29,89,14,A1,E1,38,2C,A6,F4,26,42,4A,5E,10,7A,12,9A,07,29,BD,A8,F6,A6,EE,60,";
}  // namespace constants
