#pragma once

#include <stdexcept>
#include <string>

namespace kavrel {

// A step that could not be done. The menu dispatch catches it and shows the
// "Erreur :" box; `operation` and `reason` are French, `path` is the file
// concerned (UTF-8, may be empty).
class Failure : public std::runtime_error {
public:
    Failure(std::string operation, std::string path, std::string reason)
        : std::runtime_error(operation + " : " + path + " : " + reason),
          operation_(std::move(operation)), path_(std::move(path)), reason_(std::move(reason)) {}

    const std::string& operation() const noexcept { return operation_; }
    const std::string& path() const noexcept { return path_; }
    const std::string& reason() const noexcept { return reason_; }

private:
    std::string operation_;
    std::string path_;
    std::string reason_;
};

// The user answered no to a question that guards a step: the operation ends
// there as if that step had failed, but there is nothing to report.
class Declined : public std::exception {
public:
    const char* what() const noexcept override { return "opération refusée"; }
};

} // namespace kavrel
