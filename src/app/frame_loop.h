// The frame loop, run by the entry point in window mode.
#pragma once

struct App;
struct Selftest;

void runFrameLoop(App& app, Selftest* selftest, double loopStart);
