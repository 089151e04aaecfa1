// Guarding the three standard descriptors before a program opens files.
#ifndef EXTRACTGAMEFILE_STANDARD_STREAMS_H_
#define EXTRACTGAMEFILE_STANDARD_STREAMS_H_

// Fills every closed slot of descriptors 0, 1 and 2, so that no file the
// program opens later takes one of those numbers (and receives its
// messages). Input and error get /dev/null; output gets /dev/full where
// there is one, so that what the program prints fails to be written, and
// the program says so and fails, rather than losing it in silence.
// Returns whether standard output was open to begin with.
bool holdStandardDescriptors();

#endif  // EXTRACTGAMEFILE_STANDARD_STREAMS_H_
