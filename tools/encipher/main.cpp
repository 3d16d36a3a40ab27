// Produces an enciphered constant for the program: the UTF-8 text given on the command
// line is turned into code page 936 and run through the program's key stream.
//   encipher KEY "text"   ->   XX,XX,...,
#include <cstdio>
#include <string>

#include "base/cipher.h"
#include "base/text_util.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s KEY TEXT\n", argv[0]);
        return 2;
    }
    std::string constant = encipherText(gbk(argv[2]), argv[1]);
    std::printf("%s\n", constant.c_str());
    return 0;
}
