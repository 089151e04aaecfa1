// Items worked on by several threads at once, whose outcomes are handed over
// one at a time in item order, as if one thread had done them in turn.
#ifndef EXTRACTGAMEFILE_ORDERED_WORK_H_
#define EXTRACTGAMEFILE_ORDERED_WORK_H_

#include <cstddef>
#include <functional>
#include <string>

// What became of one item.
struct ItemOutcome {
  bool done = false;
  std::string error;  // why it failed, when it did
};

struct OrderedWork {
  std::size_t items = 0;
  // Threads to work with, the calling one included; fewer when there are
  // fewer items, or when the system refuses a thread.
  unsigned workers = 1;
  // Optional. Called once per item, in item order, before the item starts:
  // the item waits until the outcomes of every item below the number
  // returned have been released (a number no greater than the item's own).
  std::function<std::size_t(std::size_t item)> startAfter;
  // Optional. True when |item| is best worked on by the worker that works on
  // the item before it (files of one folder: threads creating files in one
  // folder at the same time wait for each other in the kernel). Such runs of
  // items go to one worker together, up to a few hundred at a time.
  std::function<bool(std::size_t item)> together;
  // Works on |item| on the worker numbered |worker| (0 to workers - 1; one
  // item at a time per worker), and fills in its outcome.
  std::function<void(unsigned worker, std::size_t item, ItemOutcome* outcome)>
      work;
  // Receives each outcome, in item order, once the item and every item
  // before it are finished.
  // startAfter, together and release are never called by two threads at
  // once, nor at the same time as one another; work is.
  std::function<void(std::size_t item, const ItemOutcome& outcome)> release;
};

// Runs |work| to the end: items are taken in order by whichever worker is
// free, and at most a few thousand finished outcomes wait for an earlier
// item at any time, so memory does not grow with the number of items.
void runOrdered(const OrderedWork& work);

#endif  // EXTRACTGAMEFILE_ORDERED_WORK_H_
