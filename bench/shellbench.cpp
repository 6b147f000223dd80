// Times the shell's programs as a shell starts them: quorvi-command-not-found warm (the
// catalogue and the program in the page cache) and cold (both, and every library the
// program loads, dropped from the page cache before each run with posix_fadvise), beside
// Debian's command-not-found where it is installed; quorvi-find search and list beside the
// same search run in-process through the engine, and beside apt-file. Prints Markdown rows.
//
// Usage: quorvi-shell-bench CATALOGUE QUORVI_FIND HANDLER [REPS]
// (run in a folder without os_pkg_list.db; the handler is given --catalogue CATALOGUE)

#include <commandlookup.h>
#include <filesearch.h>
#include <shellcatalogue.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values)
{
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs the command with stdout and stderr thrown away; the wall time in milliseconds.
double runOnce(const std::vector<std::string> &command)
{
    const double start = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char *> argv;
        for (const std::string &arg : command) {
            argv.push_back(const_cast<char *>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(126);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return nowMs() - start;
}

// The files a program reads to start: itself and the libraries ldd names.
std::vector<std::string> programFiles(const std::string &program)
{
    std::vector<std::string> files{program};
    FILE *ldd = popen(("ldd " + program + " 2>/dev/null").c_str(), "r");
    char line[4096];
    while (ldd && fgets(line, sizeof line, ldd)) {
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (word[0] == '/') {
                files.push_back(word);
            }
        }
    }
    if (ldd) {
        pclose(ldd);
    }
    return files;
}

void dropFromCache(const std::vector<std::string> &files)
{
    for (const std::string &file : files) {
        const int fd = open(file.c_str(), O_RDONLY);
        if (fd >= 0) {
            fdatasync(fd);
            posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            close(fd);
        }
    }
}

double warm(const std::vector<std::string> &command, int reps)
{
    runOnce(command);
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        times.push_back(runOnce(command));
    }
    return median(times);
}

double cold(const std::vector<std::string> &command, const std::vector<std::string> &files, int reps)
{
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        dropFromCache(files);
        times.push_back(runOnce(command));
    }
    return median(times);
}

double inProcess(const std::function<void()> &work, int reps)
{
    work();
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        const double start = nowMs();
        work();
        times.push_back(nowMs() - start);
    }
    return median(times);
}

std::string ms(double value)
{
    if (value < 0) {
        return "—";
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f ms" : "%.0f ms", value);
    return text;
}

bool executable(const std::string &path)
{
    return access(path.c_str(), X_OK) == 0;
}

std::string whichProgram(const std::string &name)
{
    for (const char *folder : {"/usr/bin", "/bin", "/usr/sbin", "/sbin"}) {
        if (executable(std::string(folder) + "/" + name)) {
            return std::string(folder) + "/" + name;
        }
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: quorvi-shell-bench CATALOGUE QUORVI_FIND HANDLER [REPS]\n");
        return 2;
    }
    const std::string catalogue = argv[1], find = argv[2], handler = argv[3];
    const int reps = argc > 4 ? std::atoi(argv[4]) : 101;
    const int coldReps = std::max(5, reps / 10);
    const std::string debian = executable("/usr/lib/command-not-found") ? "/usr/lib/command-not-found" : "";
    std::vector<std::string> handlerFiles = programFiles(handler);
    handlerFiles.push_back(catalogue);
    std::vector<std::string> debianFiles = debian.empty() ? std::vector<std::string>() : programFiles("/usr/bin/python3");
    debianFiles.push_back("/var/lib/command-not-found/commands.db");

    std::printf("| handler: command (what it answers) | quorvi warm | quorvi cold | Debian's warm | Debian's cold |\n"
                "|---|---|---|---|---|\n");
    const std::vector<std::pair<std::string, std::string>> commands{
        {"sl", "a package in /usr/games"}, {"gcc-14", "a package in /usr/bin"}, {"editor", "update-alternatives"},
        {"gti", "near names"}, {"xyzzyq", "nothing"}};
    for (const auto &[command, what] : commands) {
        const std::vector<std::string> ours{handler, "--catalogue", catalogue, "--", command};
        const std::vector<std::string> theirs{debian, "--", command};
        std::printf("| `%s` (%s) | %s | %s | %s | %s |\n", command.c_str(), what.c_str(), ms(warm(ours, reps)).c_str(),
                    ms(cold(ours, handlerFiles, coldReps)).c_str(), debian.empty() ? "—" : ms(warm(theirs, reps / 5)).c_str(),
                    debian.empty() ? "—" : ms(cold(theirs, debianFiles, coldReps)).c_str());
    }

    const ShellCatalogue opened(catalogue);
    const std::string aptFile = whichProgram("apt-file");
    std::printf("\n| quorvi-find | process, warm | the engine in-process | apt-file | apt-file command |\n|---|---|---|---|---|\n");
    const std::vector<std::pair<std::string, std::string>> searches{
        {"/usr/bin/ls", "/usr/bin/ls"}, {"/bin/ls", "/bin/ls"}, {"libc.so.6", "/libc.so.6"}, {"*/bin/ssh*", "/bin/ssh"}};
    for (const auto &[keyword, pattern] : searches) {
        const double engine = inProcess([&] {
            FileSearch search(opened.handle(), keyword);
            for (const uint32_t pkg : search.packages()) {
                search.matchingFiles(pkg, std::numeric_limits<size_t>::max());
            }
        }, reps / 5);
        const std::vector<std::string> theirs{aptFile, "search", pattern};
        std::printf("| `search %s` | %s | %s | %s | `apt-file search %s` |\n", keyword.c_str(),
                    ms(warm({find, "--catalogue", catalogue, "search", keyword}, reps / 5)).c_str(), ms(engine).c_str(),
                    aptFile.empty() ? "—" : ms(warm(theirs, 3)).c_str(), pattern.c_str());
    }
    for (const std::string package : {"coreutils", "texlive-latex-extra-doc"}) {
        const std::vector<PackageRow> rows = opened.packagesNamed(package);
        const double engine = rows.empty() ? -1 : inProcess([&] { packageFiles(opened.handle(), rows.front().id); }, reps / 5);
        const std::vector<std::string> theirs{aptFile, "list", package};
        std::printf("| `list %s` | %s | %s | %s | `apt-file list %s` |\n", package.c_str(),
                    ms(warm({find, "--catalogue", catalogue, "list", package}, reps / 5)).c_str(), ms(engine).c_str(),
                    aptFile.empty() ? "—" : ms(warm(theirs, 3)).c_str(), package.c_str());
    }
    return 0;
}
