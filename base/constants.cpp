// Generated with tools/encipher under the key below; the plain texts are in the tests.
#include "base/cipher.h"

namespace constants {
const char* const kKey = "Rh2026";
const char* const kCaption = "77,A8,07,36,11,50,6B,";
const char* const kAuthor = "F2,30,BF,81,D3,9F,55,1C,05,3D,29,89,14,AC,55,FC,8D,0F,";
const char* const kNotice =
    "77,A8,07,36,11,50,6B,BD,C2,96,AA,4B,A9,44,68,E1,A4,45,2D,E8,D1,81,84,F0,B8,AD,36,DF,E2,10,26,"
    "12,70,4F,C4,";
const char* const kContact =
    "E4,6D,A5,EB,D3,9F,75,1C,05,3D,29,89,14,A2,E9,34,29,92,C1,39,4E,4B,59,4D,3A,18,90,03,34,A1,BD,"
    "BD,E7,F3,75,17,8A,F3,90,C0,E5,";
}  // namespace constants
