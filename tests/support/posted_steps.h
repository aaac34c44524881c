// One recorder of the message queue's traffic for every test that checks what the
// program posts, and one checker that compares a recorded sequence with the expected
// one and names the first step that differs.
#pragma once

#include "platform/msgqueue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A posted message as a step: the operation name ("DIR", "GET_RESUME", "OP 9" for a
// code the program does not know), "CANCEL <lParam>" for a cancel step (the lParam says
// whether the batch ends), "XFER <button>" for a click on the progress dialog's
// buttons, and "MSG <number>" for anything else.
std::string StepName(const MSG& m);

// Installs itself as the queue's observer for its lifetime (one at a time: the queue
// keeps a single observer). While `recording` holds, every posted message is kept with
// the time of the installed clock, and operation steps and cancel clicks are named in
// `steps`; a test may add its own marks to `steps` (e.g. a trace line it waits for).
class PostedSteps : public IMessageObserver {
public:
    PostedSteps();
    ~PostedSteps() override;
    PostedSteps(const PostedSteps&) = delete;
    PostedSteps& operator=(const PostedSteps&) = delete;

    void OnPosted(const MSG& m) override;
    void OnDispatched(const MSG& m) override;

    // Operation steps of this code posted so far.
    int Count(int op) const;
    // Posted messages of this kind with this lParam.
    int Count(UINT message, LPARAM lParam) const;
    // The clock's time at each posting of the operation step op.
    std::vector<std::int64_t> TimesOf(int op) const;

    bool recording = true;
    std::vector<std::string> steps;
    std::vector<MSG> posted;
    std::vector<std::int64_t> postedAt;  // parallel to posted
    // Operation steps dispatched so far, by code (counted whether recording or not).
    std::map<WPARAM, int> dispatched;
    // Called as an operation step is dispatched, with its code and how many of that
    // code were dispatched so far (1 for the first).
    std::function<void(int code, int nth)> onStep;
};

// Succeeds when both sequences agree step by step; otherwise names the first step
// that differs (or the length that does) and shows both sequences.
::testing::AssertionResult SameSteps(const std::vector<std::string>& got, const std::vector<std::string>& want);
#define EXPECT_STEPS(got, ...) EXPECT_TRUE(SameSteps((got), std::vector<std::string> __VA_ARGS__))
