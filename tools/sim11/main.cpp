// sim11: runs 68HC11 programs on a simulated chip, its SCI on the console.
#include "cli.h"

int main(int argc, char** argv) {
    return sim11::runCommandLine(argc, argv);
}
