// The program's console in the tests: what it prints to standard output or error, and scripted
// standard input. Both work on the file descriptors, so output written by any means (printf,
// write(2), a thread of the program) is caught, and input is read as from the serial terminal.
#pragma once

#include <stdio.h>

#include <functional>
#include <string>
#include <utility>

// Sends standard output or error (`stream`) to a file while it lives; text() gives what was
// written so far. When the test has failed, what was caught (the failure messages among it) is
// passed on at the end.
class ConsoleCapture
{
public:
    explicit ConsoleCapture(FILE *stream);
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture &) = delete;
    ConsoleCapture &operator=(const ConsoleCapture &) = delete;
    std::string text() const;
    // Waits until the text contains `part`; false after `msecs`.
    bool waitFor(const std::string &part, int msecs = 10000) const;

private:
    FILE *stream_;
    int streamFd_;
    int savedFd_;
    int fileFd_;
};

// Standard input reads `text`, then its end, while it lives; afterwards it is what it was before.
class ScriptedInput
{
public:
    explicit ScriptedInput(const std::string &text);
    ~ScriptedInput();
    ScriptedInput(const ScriptedInput &) = delete;
    ScriptedInput &operator=(const ScriptedInput &) = delete;

private:
    int savedFd_;
};

// Standard input from a pipe that the test types into while it lives, as an operator at the
// console would: what is typed arrives when it is typed, and nothing else arrives until end() (or
// the destructor) ends the input. Afterwards standard input is what it was before.
class TypedInput
{
public:
    TypedInput();
    ~TypedInput();
    TypedInput(const TypedInput &) = delete;
    TypedInput &operator=(const TypedInput &) = delete;
    // False when the text could not be written whole.
    bool type(const std::string &text);
    void end();

private:
    int savedFd_;
    int writeFd_ = -1;
};

// What a function returned and what it printed.
template <typename T> struct Printed {
    T value;
    std::string out;
};

// Runs `fn`; returns its result with what it printed on `stream`.
template <typename Fn> auto printing(Fn &&fn, FILE *stream = stdout) -> Printed<decltype(fn())>
{
    ConsoleCapture capture(stream);
    auto value = fn();
    return Printed<decltype(fn())>{std::move(value), capture.text()};
}

// Runs `fn`; returns what it printed on `stream`.
std::string printedBy(const std::function<void()> &fn, FILE *stream = stdout);

// Runs `fn` with standard input reading `input` (then its end); returns its standard output.
std::string withConsole(const std::string &input, const std::function<void()> &fn);

// How many times `what` occurs in `text`.
size_t countOf(const std::string &text, const std::string &what);
