// A one-line progress bar on standard error, drawn only when standard error is a terminal so
// that logs and pipes stay clean. One thread.
#pragma once

namespace ffglhost {

class Progress {
public:
    explicit Progress(int total); // draws nothing unless stderr is a terminal
    ~Progress();                  // clears the line if anything was drawn
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `done` of the total frames are finished; redraws when the percentage changes.
    void update(int done);
    // Clears the bar's line; later updates draw nothing.
    void finish();

private:
    int total_;
    bool enabled_;
    bool drawn_ = false;
    int lastDrawn_ = -1; // percentage last drawn
};

} // namespace ffglhost
