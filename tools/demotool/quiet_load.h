// Loading as the commands that say every problem themselves need it: while a QuietLoad lives,
// what loading prints (standard output and error) goes nowhere.
#pragma once

namespace demo {

class QuietLoad {
public:
    QuietLoad();
    ~QuietLoad();
    QuietLoad(const QuietLoad&) = delete;
    QuietLoad& operator=(const QuietLoad&) = delete;

private:
    int saved_out_ = -1;
    int saved_err_ = -1;
};

}  // namespace demo
