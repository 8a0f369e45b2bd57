#include "radio/radio_keyer.h"

#include "radio/hamlib_rig.h"
#include "radio/radio_alphabet.h"
#include "radio/rig_thread.h"

#include <algorithm>

RadioKeyer::RadioKeyer(QObject *parent) : QObject(parent), thread_([this] { run(); }) {}

RadioKeyer::~RadioKeyer()
{
    {
        std::scoped_lock lock(mutex_);
        ending_ = true;
        if (rigInCall_)
            rigInCall_->giveUp(); // quitting never waits for a radio that does not answer
        wake_.notify_all();
    }
    thread_.join();
}

void RadioKeyer::open(const RadioConnection &connection)
{
    std::scoped_lock lock(mutex_);
    requests_.open = connection;
    requests_.close = false;
    wake_.notify_all();
}

void RadioKeyer::close()
{
    std::scoped_lock lock(mutex_);
    requests_.open.reset();
    requests_.close = true;
    wake_.notify_all();
}

void RadioKeyer::setSpeed(int wpm)
{
    std::scoped_lock lock(mutex_);
    if (wpm == speed_ || wpm <= 0)
        return;
    speed_ = wpm;
    requests_.speedChanged = true;
    wake_.notify_all();
}

quint64 RadioKeyer::send(const QByteArray &text)
{
    std::scoped_lock lock(mutex_);
    const quint64 id = ++lastId_;
    waiting_.push_back({id, RadioAlphabet::pieces(text)});
    sending_ = true;
    wake_.notify_all();
    return id;
}

void RadioKeyer::stop()
{
    std::scoped_lock lock(mutex_);
    requests_.stop = true;
    for (Text &text : waiting_)
        requests_.dropped.push_back(text.id);
    waiting_.clear();
    wake_.notify_all();
}

RadioKeyer::State RadioKeyer::state() const
{
    std::scoped_lock lock(mutex_);
    return state_;
}

bool RadioKeyer::stopsMidText() const
{
    std::scoped_lock lock(mutex_);
    return stopsMidText_;
}

bool RadioKeyer::isSending() const
{
    std::scoped_lock lock(mutex_);
    return sending_;
}

QString RadioKeyer::failure() const
{
    std::scoped_lock lock(mutex_);
    return failure_;
}

QString RadioKeyer::hint() const
{
    std::scoped_lock lock(mutex_);
    return hint_;
}

void RadioKeyer::run()
{
    std::unique_lock lock(mutex_);
    while (waitForWork(lock)) {
        const Requests requests = std::exchange(requests_, {});
        const int speed = speed_;
        lock.unlock();
        if (requests.close || requests.open)
            closeRadio(State::Closed);
        if (requests.open)
            openRadio(*requests.open);
        if (requests.stop)
            stopRadio(requests.dropped);
        if (requests.speedChanged)
            changeSpeed(speed);
        echoDue();
        lock.lock();
        if (!waiting_.empty() && Clock::now() >= nextPieceTime())
            sendNextPiece(lock);
        sending_ = !waiting_.empty() || !timeline_.isEmpty();
    }
    lock.unlock();
    closeRadio(State::Closed);
}

bool RadioKeyer::waitForWork(std::unique_lock<std::mutex> &lock)
{
    for (;;) {
        if (ending_)
            return false;
        const bool requested = requests_.open || requests_.close || requests_.stop || requests_.speedChanged;
        Clock::time_point until = timeline_.nextEnd();
        if (!waiting_.empty())
            until = std::min(until, nextPieceTime());
        if (requested || until <= Clock::now())
            return true;
        if (until == Clock::time_point::max())
            wake_.wait(lock);
        else
            wake_.wait_until(lock, until);
    }
}

RadioKeyer::Clock::time_point RadioKeyer::nextPieceTime() const
{
    return timeline_.isEmpty() ? Clock::time_point::min() : timeline_.freeAt() - lead;
}

void RadioKeyer::openRadio(const RadioConnection &connection)
{
    rig_.reset();
    setState(State::Opening);
    connection_ = connection;
    rig_ = std::make_unique<RigThread>();
    bool stops = false;
    const auto opening = [&connection, &stops](HamlibRig &rig) {
        RigResult result = rig.open(connection);
        stops = rig.canStopMidText();
        return result;
    };
    if (!succeeded(call(opening, openDeadline), openDeadline))
        return;
    radioSpeed_ = 0;
    stopNoticeGiven_ = false;
    {
        std::scoped_lock lock(mutex_);
        stopsMidText_ = stops;
        failure_.clear();
        hint_.clear();
    }
    setState(State::Ready);
}

void RadioKeyer::closeRadio(State state)
{
    if (rig_ && !timeline_.isEmpty() && stopsMidText())
        call([](HamlibRig &rig) { return rig.stopMorse(); }, callDeadline);
    endEverything();
    rig_.reset();
    setState(state);
}

bool RadioKeyer::ensureOpen()
{
    if (rig_ && state() == State::Ready)
        return true;
    if (!connection_) {
        fail({-1, QStringLiteral("No radio is set up")});
        return false;
    }
    openRadio(*connection_);
    return state() == State::Ready;
}

void RadioKeyer::stopRadio(const std::vector<quint64> &dropped)
{
    bool stopped = false;
    if (rig_ && !timeline_.isEmpty()) {
        const std::optional<RigResult> result =
            call([](HamlibRig &rig) { return rig.stopMorse(); }, callDeadline);
        if (result && result->unsupported())
            noteCannotStop();
        else if (!succeeded(result, callDeadline))
            return;
        else
            stopped = true;
    }
    std::vector<quint64> ended;
    if (stopped) {
        for (const RadioTimeline::Character &character : timeline_.takeAll())
            ended.push_back(character.text);
    }
    for (quint64 text : dropped) {
        if (stopped || !timeline_.cutAfterHeld(text))
            ended.push_back(text);
    }
    endCut(std::move(ended));
}

void RadioKeyer::noteCannotStop()
{
    {
        std::scoped_lock lock(mutex_);
        stopsMidText_ = false;
    }
    if (!stopNoticeGiven_)
        emit cannotStopMidText();
    stopNoticeGiven_ = true;
}

void RadioKeyer::changeSpeed(int wpm)
{
    if (rig_ && state() == State::Ready)
        setRadioSpeed(wpm);
}

// The radio keys at the speed nearest to Keylark's that it has, and the estimate follows it. A radio whose
// speed Hamlib cannot set keys at its own; the estimate then follows Keylark's.
bool RadioKeyer::setRadioSpeed(int wpm)
{
    int used = wpm;
    const auto setting = [wpm, &used](HamlibRig &rig) {
        used = rig.keyerSpeedNearest(wpm);
        return rig.setSpeed(used);
    };
    const std::optional<RigResult> result = call(setting, callDeadline);
    if (!(result && result->unsupported()) && !succeeded(result, callDeadline))
        return false;
    if (radioSpeed_ > 0)
        timeline_.changeSpeed(Clock::now(), radioSpeed_, used);
    radioSpeed_ = used;
    return true;
}

void RadioKeyer::sendNextPiece(std::unique_lock<std::mutex> &lock)
{
    const Text text = waiting_.front();
    const QByteArray piece = text.pieces[text.nextPiece];
    const bool last = text.nextPiece + 1 == text.pieces.size();
    const int speed = speed_;
    lock.unlock();
    // The radio may wait for room in its buffer: the call has as long as the radio needs for what it holds.
    const auto held = std::max(Clock::duration::zero(), timeline_.freeAt() - Clock::now());
    const auto deadline = callDeadline + std::chrono::ceil<std::chrono::milliseconds>(held);
    const bool sent =
        ensureOpen() && setRadioSpeed(speed) &&
        succeeded(call([&piece](HamlibRig &rig) { return rig.sendMorse(piece); }, deadline), deadline);
    if (sent)
        timeline_.add(text.id, text.nextIndex, piece, last, Clock::now(), radioSpeed_);
    lock.lock();
    if (!sent || waiting_.empty() || waiting_.front().id != text.id)
        return; // failed, and every text ended; or stopped while the piece went out
    Text &front = waiting_.front();
    ++front.nextPiece;
    front.nextIndex += int(piece.size());
    if (last)
        waiting_.pop_front();
}

std::optional<RigResult> RadioKeyer::call(const Call &fn, std::chrono::milliseconds deadline)
{
    {
        std::scoped_lock lock(mutex_);
        if (ending_)
            return std::nullopt;
        rigInCall_ = rig_.get();
    }
    std::optional<RigResult> result = rig_->run(fn, deadline);
    std::scoped_lock lock(mutex_);
    rigInCall_ = nullptr;
    return result;
}

// Nothing for a result: the call overran its deadline, or Keylark is quitting.
bool RadioKeyer::succeeded(const std::optional<RigResult> &result, std::chrono::milliseconds deadline)
{
    if (result && result->ok())
        return true;
    fail(result ? *result : RigResult::noAnswerWithin(deadline));
    return false;
}

void RadioKeyer::fail(const RigResult &result)
{
    {
        std::scoped_lock lock(mutex_);
        failure_ = result.text;
        hint_ = result.hint(connection_ && connection_->isRigctld());
    }
    setState(State::Failed);
    endEverything();
    rig_.reset();
}

// Every text in flight or waiting ends, cut short.
void RadioKeyer::endEverything()
{
    std::vector<quint64> ended;
    for (const RadioTimeline::Character &character : timeline_.takeAll())
        ended.push_back(character.text);
    {
        std::scoped_lock lock(mutex_);
        for (const Text &text : waiting_)
            ended.push_back(text.id);
        waiting_.clear();
    }
    endCut(std::move(ended));
}

void RadioKeyer::endCut(std::vector<quint64> texts)
{
    std::vector<quint64> once;
    for (quint64 text : texts) {
        if (std::find(once.begin(), once.end(), text) == once.end())
            once.push_back(text);
    }
    for (quint64 text : once)
        emit textEnded(text, false);
}

void RadioKeyer::echoDue()
{
    for (const RadioTimeline::Character &character : timeline_.takeDue(Clock::now())) {
        emit characterKeyed(character.text, character.index);
        if (character.ends != RadioTimeline::Ends::No)
            emit textEnded(character.text, character.ends == RadioTimeline::Ends::Whole);
    }
}

void RadioKeyer::setState(State state)
{
    {
        std::scoped_lock lock(mutex_);
        if (state_ == state)
            return;
        state_ = state;
    }
    emit stateChanged(state);
}
