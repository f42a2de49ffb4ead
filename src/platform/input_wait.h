// How the terminal waits for an answer: timers and painting go on, touches do not count.
#pragma once

class QEventLoop;

namespace quorvalis {

// Runs the loop until it quits. Every touch, click and key that arrives meanwhile is dropped:
// delivered afterwards it would land on whatever is on the screen then (a button shown by the
// answer, a second "redeem"), which is not what the person touched.
void runWithoutInput(QEventLoop& loop);

}  // namespace quorvalis
