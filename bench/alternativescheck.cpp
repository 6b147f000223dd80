// Measures the rule for commands that update-alternatives makes: for every link name in a
// command folder that this machine's alternatives database registers, the packages that
// ship the registered choices (the right answer) against the packages the rule names
// without the database: right when the rule names one of them, wrong when it names only
// others. Packages the rule names beside the right ones (vim-gtk3 for vim) are counted
// apart: they may well provide the command on a machine that installs them. Prints one Markdown table row a name and the totals.
//
// Usage: quorvi-alternatives-check CATALOGUE [ALTERNATIVES_FOLDER]

#include <alternatives.h>
#include <commandlookup.h>
#include <shellcatalogue.h>

#include <iostream>
#include <set>

namespace {

std::set<std::string> names(const ShellCatalogue &catalogue, const std::vector<CommandFile> &files)
{
    std::set<std::string> found;
    for (const CommandFile &file : files) {
        found.insert(catalogue.package(file.pkg).name);
    }
    return found;
}

std::string joined(const std::set<std::string> &names)
{
    std::string text;
    for (const std::string &name : names) {
        text += (text.empty() ? "" : " ") + name;
    }
    return text.empty() ? "—" : text;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::cerr << "usage: quorvi-alternatives-check CATALOGUE [ALTERNATIVES_FOLDER]\n";
        return 2;
    }
    try {
        const ShellCatalogue catalogue(argv[1]);
        const CommandLookup lookup(catalogue.handle());
        const Alternatives registered = argc > 2 ? Alternatives::read(argv[2]) : Alternatives::read();
        const Alternatives none;
        int right = 0, wrong = 0, missed = 0, unknown = 0, others = 0;
        std::cout << "| command | packages of the registered choices | the rule's packages | verdict |\n|---|---|---|---|\n";
        for (const std::string &command : registered.commands()) {
            const std::set<std::string> truth = names(catalogue, lookup.alternativeProviders(command, registered));
            const std::set<std::string> rule = names(catalogue, lookup.alternativeProviders(command, none));
            std::set<std::string> extra;
            bool hit = false;
            for (const std::string &name : rule) {
                hit = hit || truth.count(name);
                if (!truth.count(name)) {
                    extra.insert(name);
                }
            }
            const char *verdict = truth.empty() ? "choices in no package" : hit ? "right" : rule.empty() ? "missed" : "wrong";
            right += hit;
            wrong += !truth.empty() && !hit && !rule.empty();
            missed += !truth.empty() && rule.empty();
            unknown += truth.empty();
            others += !truth.empty() && !extra.empty();
            std::cout << "| " << command << " | " << joined(truth) << " | " << joined(rule) << " | " << verdict
                      << (extra.empty() || truth.empty() ? "" : "; also " + joined(extra)) << " |\n";
        }
        std::cout << "\n" << registered.commands().size() << " link names: " << right
                  << " right (the rule names a package of a registered choice), " << wrong
                  << " wrong (it names only other packages), " << missed << " missed (it names none), " << unknown
                  << " whose choices no package of the catalogue ships; for " << others
                  << " of them the rule also names packages whose choice is not registered here\n";
    } catch (const std::exception &e) {
        std::cerr << e.what() << "\n";
        return 3;
    }
    return 0;
}
