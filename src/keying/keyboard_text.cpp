#include "keying/keyboard_text.h"

KeyboardText::KeyboardText(std::chrono::milliseconds burstEnd) : burstEnd_(burstEnd) {}

bool KeyboardText::setText(const QString &text)
{
    {
        std::scoped_lock lock(mutex_);
        if (!text.startsWith(QStringView(text_).left(taken_)))
            return false;
        text_ = text;
    }
    changed_.notify_all();
    return true;
}

QString KeyboardText::text() const
{
    std::scoped_lock lock(mutex_);
    return text_;
}

qsizetype KeyboardText::taken() const
{
    std::scoped_lock lock(mutex_);
    return taken_;
}

bool KeyboardText::waits() const
{
    std::scoped_lock lock(mutex_);
    return taken_ < text_.size();
}

void KeyboardText::setBurstEnd(std::chrono::milliseconds burstEnd)
{
    std::scoped_lock lock(mutex_);
    burstEnd_ = burstEnd;
}

// A character is keyed in upper case, as the console's texts are; a pair of surrogates goes as one.
std::optional<KeyingPiece> KeyboardText::takePiece()
{
    KeyingPiece piece;
    QString character;
    {
        std::scoped_lock lock(mutex_);
        if (taken_ >= text_.size())
            return std::nullopt;
        const bool pair = text_.at(taken_).isHighSurrogate() && taken_ + 1 < text_.size();
        character = text_.mid(taken_, pair ? 2 : 1);
        taken_ += character.size();
        woken_ = false;
        piece.id = nextId_++;
    }
    for (const char byte : character.toUpper().toUtf8())
        piece.steps.push_back({KeyingStep::Kind::Character, static_cast<unsigned char>(byte)});
    emit characterTaken();
    return piece;
}

void KeyboardText::dropPieces()
{
    {
        std::scoped_lock lock(mutex_);
        text_.truncate(taken_);
        woken_ = true;
    }
    changed_.notify_all();
}

bool KeyboardText::awaitPiece()
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, burstEnd_, [this] { return taken_ < text_.size() || woken_; });
    const bool piece = taken_ < text_.size() && !woken_;
    woken_ = false;
    return piece;
}

void KeyboardText::endBurst()
{
    {
        std::scoped_lock lock(mutex_);
        woken_ = false;
    }
    emit burstEnded();
}

void KeyboardText::dropTaken()
{
    std::scoped_lock lock(mutex_);
    text_.remove(0, taken_);
    taken_ = 0;
}

void KeyboardText::wake()
{
    {
        std::scoped_lock lock(mutex_);
        woken_ = true;
    }
    changed_.notify_all();
}
