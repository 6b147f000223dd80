// quorvi-command-not-found [--catalogue FILE] [--] COMMAND: what the shells' hooks run for
// an unknown command (notfoundhandler.h).
#include "notfoundhandler.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    std::string catalogue;
    int at = 1;
    if (at + 1 < argc && std::string(argv[at]) == "--catalogue") {
        catalogue = argv[at + 1];
        at += 2;
    }
    if (at < argc && std::string(argv[at]) == "--") {
        ++at;
    }
    if (at + 1 != argc) {
        std::fputs("用法：quorvi-command-not-found [--catalogue 文件] [--] 命令\n", stderr);
        return 2;
    }
    return NotFoundHandler(catalogue).run(argv[at]);
}
