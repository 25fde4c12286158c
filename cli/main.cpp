#include "cli/tool.h"

int main(int argc, char** argv) {
    return zx::cli::run(argc, argv);
}
