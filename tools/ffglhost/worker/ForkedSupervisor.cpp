// Jobs in a forked, watched worker (see ForkedSupervisor.h).
#include "worker/ForkedSupervisor.h"

#include "worker/CrashSignals.h"
#include "worker/OutputTail.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace ffglhost {

namespace {

// Signals the host passes on to the worker's group instead of dying of them at once.
const int kRelayedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// Longest the host sleeps between looks at the flight record while no call is in flight.
constexpr int kIdleLookMs = 100;
// How long the host keeps reading the output pipe after the worker's group is gone.
constexpr int kDrainMs = 500;
constexpr std::size_t kReadChunk = 4096;
// How long a worker killed by the watchdog may take to go (one stuck in the kernel may never).
constexpr int kKillGraceMs = 5000;
// How long the host waits for the worker's killed children, and how often it looks.
constexpr int kReapMs = 2000;
constexpr unsigned kReapPollUs = 5000;

int g_relayPipe = -1; // write end, for the signal handler

void onRelayedSignal(int signal)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signal);
    (void)!write(g_relayPipe, &b, 1);
    errno = saved;
}

void closeFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// While it lives, the relayed signals of the host land in a pipe instead of ending it.
class SignalRelay {
public:
    SignalRelay()
    {
        if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
            fds_[0] = fds_[1] = -1;
            return;
        }
        g_relayPipe = fds_[1];
        for (std::size_t i = 0; i < sizeof kRelayedSignals / sizeof kRelayedSignals[0]; ++i) {
            struct sigaction sa;
            std::memset(&sa, 0, sizeof sa);
            sa.sa_handler = onRelayedSignal;
            sigemptyset(&sa.sa_mask);
            sigaction(kRelayedSignals[i], &sa, &saved_[i]);
        }
    }
    ~SignalRelay()
    {
        if (fds_[0] < 0)
            return;
        for (std::size_t i = 0; i < sizeof kRelayedSignals / sizeof kRelayedSignals[0]; ++i)
            sigaction(kRelayedSignals[i], &saved_[i], nullptr);
        g_relayPipe = -1;
        closeFd(fds_[0]);
        closeFd(fds_[1]);
    }
    SignalRelay(const SignalRelay&) = delete;
    SignalRelay& operator=(const SignalRelay&) = delete;

    int readFd() const { return fds_[0]; }
    // In the worker: the host's handlers and pipe are not the worker's.
    void dropInChild()
    {
        for (int signal : kRelayedSignals)
            std::signal(signal, SIG_DFL);
        closeFd(fds_[0]);
        closeFd(fds_[1]);
    }
    // The next relayed signal, or 0.
    int take()
    {
        unsigned char b = 0;
        return fds_[0] >= 0 && read(fds_[0], &b, 1) == 1 ? b : 0;
    }

private:
    int fds_[2] = {-1, -1};
    struct sigaction saved_[sizeof kRelayedSignals / sizeof kRelayedSignals[0]];
};

// The worker's side: never returns.
[[noreturn]] void runWorker(const WorkerJob& job, WorkerShared& shared, int outputPipe, pid_t host)
{
    setpgid(0, 0);
#ifdef __linux__
    // A host killed outright takes its worker along.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != host)
        _exit(1);
#else
    (void)host;
#endif
    // A worker in its own group is not the terminal's foreground: its progress bar must not stop it.
    std::signal(SIGTTOU, SIG_IGN);
    int report = STDOUT_FILENO;
    if (outputPipe >= 0) {
        report = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (report < 0 || dup2(outputPipe, STDOUT_FILENO) < 0 || dup2(outputPipe, STDERR_FILENO) < 0)
            _exit(1);
        close(outputPipe);
        // What the plug-in prints reaches the host at once, also when it dies a moment later.
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    useFlightRecord(&shared.flight);
    useTemporaryFiles(&shared.files);
    installCrashHandlers();
    const int status = job(report);
    std::fflush(stdout);
    // An ordinary exit: static destructors and the sanitizers' leak checks run as in any process.
    std::exit(status);
}

// Passes `fd`'s output on to standard error and into `tail`; false at its end.
bool forward(int fd, OutputTail& tail)
{
    char buf[kReadChunk];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        return false;
    tail.add(buf, static_cast<std::size_t>(n));
    (void)writeText(STDERR_FILENO, std::string(buf, static_cast<std::size_t>(n)));
    return true;
}

void drain(int fd, OutputTail& tail)
{
    const int64_t end = monotonicNs() + static_cast<int64_t>(kDrainMs) * 1000000;
    for (;;) {
        const int64_t left = (end - monotonicNs()) / 1000000;
        if (left <= 0)
            return;
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || !forward(fd, tail))
            return;
    }
}

// Waits (a bounded time) for the rest of the worker's group, which the host adopted as the
// worker's subreaper: once they are gone, nothing can write an output file any more.
void reapGroup(pid_t group)
{
    const int64_t end = monotonicNs() + static_cast<int64_t>(kReapMs) * 1000000;
    for (;;) {
        const pid_t r = waitpid(-group, nullptr, WNOHANG);
        if (r > 0)
            continue;
        if (r < 0 && errno != EINTR)
            return; // no child of that group left
        if (r == 0 && monotonicNs() > end)
            return;
        if (r == 0)
            usleep(kReapPollUs);
    }
}

} // namespace

ForkedSupervisor::ForkedSupervisor()
{
#ifdef __linux__
    // Children the worker leaves (ffmpeg) are adopted by the host, which can then wait for them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
#endif
    void* block = mmap(nullptr, sizeof(WorkerShared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (block != MAP_FAILED) {
        shared_ = new (block) WorkerShared();
        mapped_ = true;
    } else {
        shared_ = new WorkerShared();
    }
}

ForkedSupervisor::~ForkedSupervisor()
{
    if (mapped_) {
        shared_->~WorkerShared();
        munmap(shared_, sizeof(WorkerShared));
    } else {
        delete shared_;
    }
}

WorkerEnd ForkedSupervisor::run(const WorkerJob& job, const WorkerOptions& options)
{
    WorkerEnd end;
    if (!mapped_) {
        std::fprintf(stderr, "ffglhost: error: cannot map memory to share with a worker process\n");
        end.status = 1;
        return end;
    }
    shared_->flight.reset();
    shared_->files.clear();
    std::fflush(stdout);
    std::fflush(stderr);

    int output[2] = {-1, -1};
    if (options.captureOutput && pipe2(output, O_CLOEXEC) != 0)
        output[0] = output[1] = -1;
    // The worker holds the write end of this pipe; it closes when the worker is gone (exec'd
    // children such as ffmpeg do not inherit it).
    int lifeline[2] = {-1, -1};
    if (pipe2(lifeline, O_CLOEXEC) != 0)
        lifeline[0] = lifeline[1] = -1;
    SignalRelay relay;
    const pid_t host = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        relay.dropInChild();
        closeFd(output[0]);
        closeFd(lifeline[0]);
        runWorker(job, *shared_, output[1], host);
    }
    closeFd(output[1]);
    closeFd(lifeline[1]);
    if (pid < 0) {
        std::fprintf(stderr, "ffglhost: error: cannot start a worker process: %s\n", std::strerror(errno));
        closeFd(output[0]);
        closeFd(lifeline[0]);
        end.status = 1;
        return end;
    }
    setpgid(pid, pid); // also done by the worker; whichever comes first

    OutputTail tail;
    const int64_t timeoutNs = static_cast<int64_t>(options.timeoutSeconds * 1e9);
    bool timedOut = false;
    int64_t killedAtNs = 0;
    bool lost = false; // killed, yet still not gone: stuck in the kernel
    int relayed = 0;
    for (;;) {
        int waitMs = kIdleLookMs;
        if (timedOut && monotonicNs() - killedAtNs > static_cast<int64_t>(kKillGraceMs) * 1000000) {
            lost = true;
            break;
        }
        if (timeoutNs > 0 && !timedOut) {
            int64_t leftNs = -1;
            if (shared_->flight.overdue(monotonicNs(), timeoutNs, leftNs)) {
                timedOut = true;
                killedAtNs = monotonicNs();
                kill(-pid, SIGKILL);
            } else if (leftNs >= 0 && leftNs / 1000000 + 1 < waitMs) {
                waitMs = static_cast<int>(leftNs / 1000000 + 1);
            }
        }
        pollfd fds[3];
        nfds_t n = 0;
        if (lifeline[0] >= 0)
            fds[n++] = pollfd{lifeline[0], POLLIN, 0};
        if (output[0] >= 0)
            fds[n++] = pollfd{output[0], POLLIN, 0};
        if (relay.readFd() >= 0)
            fds[n++] = pollfd{relay.readFd(), POLLIN, 0};
        const int ready = poll(fds, n, waitMs);
        for (nfds_t i = 0; ready > 0 && i < n; ++i) {
            if (fds[i].revents == 0)
                continue;
            if (fds[i].fd == lifeline[0]) {
                closeFd(lifeline[0]); // the worker is gone (or going): no more wake-ups from it
            } else if (fds[i].fd == output[0]) {
                if (!forward(output[0], tail))
                    closeFd(output[0]);
            } else if (const int signal = relay.take(); signal != 0) {
                // Ctrl-C and friends go to the worker's group; a second one ends it for sure.
                kill(-pid, relayed == 0 ? signal : SIGKILL);
                if (relayed == 0)
                    relayed = signal;
            }
        }
        siginfo_t info;
        std::memset(&info, 0, sizeof info);
        // Looked at without reaping: the group id stays reserved until the kill below.
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
            break;
    }
    // Whatever the worker left running (ffmpeg, a plug-in's children) goes with it.
    kill(-pid, SIGKILL);
    int status = 0;
    if (!lost) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        reapGroup(pid);
    }
    if (output[0] >= 0) {
        fcntl(output[0], F_SETFL, fcntl(output[0], F_GETFL) | O_NONBLOCK);
        drain(output[0], tail);
        closeFd(output[0]);
    }
    closeFd(lifeline[0]);

    end.flight = shared_->flight.snapshot();
    end.lastOutput = tail.lines();
    end.timeoutSeconds = options.timeoutSeconds;
    if (relayed != 0) {
        end.kind = WorkerEnd::Kind::Interrupted;
        end.signal = relayed;
    } else if (timedOut) {
        end.kind = WorkerEnd::Kind::TimedOut;
    } else if (WIFSIGNALED(status)) {
        end.kind = WorkerEnd::Kind::Signalled;
        end.signal = WTERMSIG(status);
    } else {
        end.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    shared_->files.removeAll();
    return end;
}

} // namespace ffglhost
