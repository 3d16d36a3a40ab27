#pragma once
// Sets an environment variable for as long as it lives and then unsets it, also when an
// assertion ends the test early, so that no host or base address leaks into the next test.
#include <cstdlib>
#include <string>

namespace testsupport {

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
};

}  // namespace testsupport
