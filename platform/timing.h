#pragma once
// The frame wait's unit of sleep.

// Sleeps for about one millisecond (the thread yields the core meanwhile).
void sleepOneMillisecond();
