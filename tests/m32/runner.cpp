// Runs the cases of one group (a file's name without its extension), or of
// all groups; fails when a case fails or when the group has no case at all.
#include <string>
#include <vector>

#include "check.h"

namespace m32
{

namespace
{

struct test_case
{
    std::string group;
    std::string name;
    case_function run;
};

std::vector<test_case> &cases()
{
    static std::vector<test_case> all;
    return all;
}

int failures = 0;

} // namespace

bool add_case(std::string_view file, std::string_view name, case_function run)
{
    std::string_view group = file.substr(file.find_last_of("/\\") + 1);
    group = group.substr(0, group.find('.'));
    cases().push_back({std::string(group), std::string(name), run});
    return true;
}

void failed(const std::source_location &where)
{
    ++failures;
    std::cout << where.file_name() << ":" << where.line() << ": check failed\n";
}

} // namespace m32

int main(int argc, char **argv)
{
    std::string_view group = argc > 1 ? argv[1] : "";
    int run = 0;
    int failed_cases = 0;
    for (const m32::test_case &c : m32::cases())
    {
        if (!group.empty() && c.group != group)
            continue;
        int before = m32::failures;
        c.run();
        ++run;
        bool ok = m32::failures == before;
        failed_cases += ok ? 0 : 1;
        std::cout << (ok ? "ok     " : "FAILED ") << c.group << "." << c.name << "\n";
    }
    if (run == 0)
    {
        std::cerr << "no cases in group \"" << group << "\"\n";
        return 1;
    }
    std::cout << run - failed_cases << " of " << run << " cases passed\n";
    return failed_cases == 0 ? 0 : 1;
}
