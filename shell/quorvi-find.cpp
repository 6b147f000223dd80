// quorvi-find: the finder's searches on the command line (findcommand.h).
#include "findcommand.h"

int main(int argc, char **argv)
{
    return FindCommand().run(std::vector<std::string>(argv + 1, argv + argc));
}
