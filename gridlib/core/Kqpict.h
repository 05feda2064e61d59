#pragma once
// Picture masks: checks a text against a picture, while the user types (can the text still
// become valid?), before a record is posted (is it complete?), and fills in the literal
// characters that must come next.
//
//   #  a digit               ?  a letter              &  a letter, to upper case
//   ~  a letter, to lower    !  any character, upper  @  any character
//   ;  the next character is a literal                *  repetition: *n item, or * item for any number
//   [ ] an optional group    { } a group              ,  separates alternatives
// Any other character is a literal, matched ignoring the case of a-z and stored as the picture
// writes it. Letters are A-Z, a-z and every character above 128.

#include <QString>

enum TkqPicResult {
    prComplete,       // the text fits the picture
    prIncomplete,     // a possible beginning
    prEmpty,
    prError,
    prSyntax,         // the picture itself is malformed
    prAmbiguous,      // complete, and the picture allows more (reported as complete)
    prIncompNoFill    // incomplete, nothing to fill (reported as incomplete)
};

class TkqPictureValidator {
public:
    enum : unsigned { voFill = 1, voTransfer = 4 };

    // An empty picture accepts everything. A malformed one sets Status to 1.
    TkqPictureValidator(const QString& picture, bool autoFill);
    virtual ~TkqPictureValidator() = default;

    // False only when the text cannot become valid; with the fill option on (and not
    // suppressed) the literal characters that must follow are appended to text.
    virtual bool IsValidInput(QString& text, bool suppressFill);
    // The text is complete, or empty.
    virtual bool IsValid(const QString& text);
    // Matches text, storing the characters as the picture converts them; with autoFill the
    // literals that must come next are appended. Never answers prAmbiguous or prIncompNoFill.
    virtual TkqPicResult Picture(QString& text, bool autoFill);

    QString PictureText() const { return FPicture; }
    unsigned Options() const { return FOptions; }
    int Status() const { return FStatus; }

private:
    bool SyntaxCheck() const;
    QChar At(int i) const { return i >= 1 && i <= FPicture.size() ? FPicture[i - 1] : QChar(); }
    int Process(int termCh);
    int Scan(int termCh);
    int Group(int termCh);
    int Iteration(int termCh);
    int CheckComplete(int result, int termCh);
    int SkipOptional(int p, int end) const;
    bool IsSkippableGroup(int p, int end) const;
    void ToGroupEnd(int& p, int termCh) const;
    int CalcTerm(int termCh) const;
    bool SkipToComma(int termCh);

    QString FPicture;
    unsigned FOptions;
    int FStatus = 0;
    bool FSyntaxOk = false;   // the picture never changes: checked once
    // Matcher state: positions in the picture and the input (1-based), the input, and whether
    // a blank at the input's end already stood in for a literal blank in the current Process.
    int FI = 0;
    int FJ = 0;
    QString* FInput = nullptr;
    bool FBlankMatched = false;
};
