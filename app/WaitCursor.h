// The wait cursor over the whole program while a long step runs: a
// calculation, reading or writing a points file.
#ifndef WAITCURSOR_H
#define WAITCURSOR_H

class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();

    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

    // Gives the arrow back early, before a message box: the box must not
    // look busy while it waits for the user.
    void release();

private:
    bool active;
};

#endif // WAITCURSOR_H
