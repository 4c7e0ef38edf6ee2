#pragma once
// What one run has done to the disk so far, and what of it is still going on: the run's
// ledger (TQRunLedger) answers it, the finished screen and the status panel show it.

struct TQRunTotals {
    // Bytes that left the disk (the Trash counting as gone) less the archives the run wrote;
    // below 0 when the archives outweigh what went. Work still running counts what it has
    // removed so far.
    double freed = 0;
    // Of what left, the bytes that went to the Trash: still on the disk until it is emptied.
    double inTrash = 0;
    // Items compressed.
    double compressed = 0;

    // The run's work still going on.
    int deleting = 0;    // confirmed deletes and emptyings of the delete queue
    int compressing = 0; // compressions (copying, zipping, or removing their originals)
    // What that work has removed so far (part of `freed`), and what it has still to remove,
    // as the scan measured it.
    double goneBytes = 0;
    double leftBytes = 0;
    // How far that work has come, 0 to 1.
    double progress = 0;

    bool isRunning() const { return deleting > 0 || compressing > 0; }
};
