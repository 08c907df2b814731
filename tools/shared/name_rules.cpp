#include "tools/shared/name_rules.h"

#include "shell/install_driver.h"

std::string fold_case(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return folded;
}

bool is_setup_name(const std::string& name) { return fold_case(name) == SETUP_NAME; }
