#include "cli/lookup_tool.h"

int main(int argc, char** argv) {
    return lookup::runLookupTool(argc, argv);
}
