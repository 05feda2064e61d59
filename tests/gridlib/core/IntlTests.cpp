#include "gridlib/core/Kqintl.h"
#include "platform/core/SysUtils.h"
#include "tests/common/TestSupport.h"

#include <QAbstractButton>
#include <QDialog>
#include <QMetaProperty>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// Each test gets a fresh global object.
class IntlTest : public ::testing::Test {
protected:
    void TearDown() override { delete KqIntl(); }
};

int OwnProperties(const QObject* o)
{
    return o->metaObject()->propertyCount() - QObject::staticMetaObject.propertyCount();
}
} // namespace

TEST_F(IntlTest, DefaultsAreTheLibrarysTexts)
{
    const TkqIntl* g = KqIntl();
    EXPECT_EQ(g->UserMessages->PictureValidateError, QStringLiteral("Invalid characters. Field : "));
    EXPECT_EQ(g->UserMessages->MemoChangesWarning, QStringLiteral("Changes have been made!  Are you sure you wish to cancel?"));
    EXPECT_EQ(g->Navigator->ConfirmDeleteMessage, QStringLiteral("Delete record?"));
    EXPECT_EQ(Format(g->Navigator->Hints->NextPageHint, {10}), QStringLiteral("Move forward 10 records"));
    EXPECT_EQ(g->LocateDialog->MatchAnyLabel, QStringLiteral("Partial Match &Anywhere"));
    EXPECT_EQ(g->FilterDialog->MatchAnyLabel, QStringLiteral("Partial Match Any&where"));
    EXPECT_EQ(g->RichEdit->MenuLabels->SelectallCaption, QStringLiteral("Select A&ll"));
    EXPECT_EQ(g->RichEdit->PopupMenuLabels->ObjectPropertiesCaption, QStringLiteral("Object P&roperties"));
    EXPECT_EQ(g->RichEdit->TabDialog->ClearAllButtonHint, QStringLiteral("Clear all the tabs"));
    EXPECT_TRUE(g->ADO->UseLocateWhenFindingValue);
    EXPECT_TRUE(g->OKCancelBitmapped && g->UseLocateMethodForSearch && g->ReopenOnCancelRange);
    EXPECT_EQ(g->DefaultEpochYear, 1950);
    EXPECT_EQ(GlobalFilterMemoSize(), 65536);
    EXPECT_EQ(g->BtnOKCaption, QStringLiteral("&OK"));
    EXPECT_FALSE(g->Connected());
    // Every text of the tables, holders counted with their own.
    EXPECT_EQ(OwnProperties(g->UserMessages), 11);
    EXPECT_EQ(OwnProperties(g->Navigator->Hints), 18);
    EXPECT_EQ(OwnProperties(g->SearchDialog), 7);
    EXPECT_EQ(OwnProperties(g->LocateDialog), 19);
    EXPECT_EQ(OwnProperties(g->FilterDialog), 41);
    EXPECT_EQ(OwnProperties(g->RichEdit), 40 + 4);
    EXPECT_EQ(OwnProperties(g->RichEdit->MenuLabels), 34);
    EXPECT_EQ(OwnProperties(g->RichEdit->PopupMenuLabels), 17);
    EXPECT_EQ(OwnProperties(g->RichEdit->ParagraphDialog), 26);
    EXPECT_EQ(OwnProperties(g->RichEdit->TabDialog), 11);
}

TEST_F(IntlTest, ConnectingAPlacedObjectCopiesItIntoTheGlobalOne)
{
    TkqIntl placed;
    placed.UserMessages->PictureValidateError = QStringLiteral("Bad: ");
    placed.Navigator->Hints->FirstHint = QStringLiteral("To the top");
    placed.RichEdit->MenuLabels->FileCaption = QStringLiteral("&Datei");
    placed.RichEdit->ParagraphDialog->HelpContext = 7;
    placed.FilterDialog->ViewSummaryNotText = QStringLiteral("NICHT");
    placed.BtnCancelCaption = QStringLiteral("Abbrechen");
    placed.DefaultEpochYear = 2000;
    placed.FilterMemoSize = 100;
    placed.ReopenOnCancelRange = false;
    placed.SetCheckBoxInGridStyle(cbStyleXmark);

    TkqIntl* g = KqIntl();
    g->ApplyToGlobal();   // on the global itself: nothing
    EXPECT_EQ(g->UserMessages->PictureValidateError, QStringLiteral("Invalid characters. Field : "));

    placed.SetConnected(true);
    EXPECT_EQ(g->UserMessages->PictureValidateError, QStringLiteral("Bad: "));
    EXPECT_EQ(g->Navigator->Hints->FirstHint, QStringLiteral("To the top"));
    EXPECT_EQ(g->RichEdit->MenuLabels->FileCaption, QStringLiteral("&Datei"));
    EXPECT_EQ(g->RichEdit->ParagraphDialog->HelpContext, 7);
    EXPECT_EQ(g->FilterDialog->ViewSummaryNotText, QStringLiteral("NICHT"));
    EXPECT_EQ(g->BtnCancelCaption, QStringLiteral("Abbrechen"));
    EXPECT_EQ(g->DefaultEpochYear, 2000);
    EXPECT_EQ(GlobalFilterMemoSize(), 100);
    EXPECT_FALSE(g->ReopenOnCancelRange);
    EXPECT_EQ(g->CheckBoxInGridStyle(), cbStyleXmark);
    EXPECT_FALSE(g->Connected());   // not copied

    // Later edits need another apply, except the check-box style.
    placed.UserMessages->PictureValidateError = QStringLiteral("Later: ");
    placed.SetCheckBoxInGridStyle(cbStyleCheckmarkFlat);
    EXPECT_EQ(g->UserMessages->PictureValidateError, QStringLiteral("Bad: "));
    EXPECT_EQ(g->CheckBoxInGridStyle(), cbStyleCheckmarkFlat);

    struct Case {
        const char* placed;
        const char* global;
    };
    const Case names[] = {{"Grid", "Grid.ini"}, {"Grid.ini", "Grid.ini.ini"}, {".ini", ""}, {"", ""}};
    for (const Case& c : names) {
        g->IniFileName = QStringLiteral("before");
        placed.IniFileName = QString::fromLatin1(c.placed);
        placed.ApplyToGlobal();
        EXPECT_EQ(g->IniFileName, QString::fromLatin1(c.global)) << c.placed;
    }
}

TEST_F(IntlTest, ValidationErrorReportCanBeRewordedOrSuppressed)
{
    TkqIntl* g = KqIntl();
    try {
        g->ReportValidationError(nullptr, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
    }
    QObject sender;
    QObject* seen = nullptr;
    g->OnValidationErrorUsingMask = [&](QObject* s, TField*, QString& msg, bool&) {
        seen = s;
        msg = QStringLiteral("Digits only");
    };
    try {
        g->ReportValidationError(&sender, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Digits only"));
    }
    EXPECT_EQ(seen, &sender);
    g->OnValidationErrorUsingMask = [](QObject*, TField*, QString& msg, bool& doDefault) {
        msg.clear();
        doDefault = false;
    };
    EXPECT_NO_THROW(g->ReportValidationError(&sender, nullptr));
}

TEST_F(IntlTest, DialogButtonsTakeTheirCaptionsAndResults)
{
    QDialog form;
    KqIntl()->BtnCancelCaption = QStringLiteral("Stop");
    KqIntl()->OKCancelBitmapped = false;
    QAbstractButton* cancel = CreateDialogButton(&form, 2);
    EXPECT_EQ(cancel->parent(), &form);
    EXPECT_TRUE(cancel->isHidden());
    EXPECT_EQ(cancel->text(), QStringLiteral("Stop"));
    EXPECT_EQ(cancel->size(), QSize(77, 24));
    EXPECT_TRUE(cancel->icon().isNull());
    EXPECT_TRUE(cancel->property("Cancel").toBool());

    KqIntl()->OKCancelBitmapped = true;
    KqIntl()->DialogFontStyle = {fsBold};
    QAbstractButton* ok = CreateDialogButton(&form, 1);
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    EXPECT_EQ(ok->size(), QSize(77, 27));
    EXPECT_FALSE(ok->icon().isNull());
    EXPECT_TRUE(ok->font().bold());
    EXPECT_EQ(CreateDialogButton(&form, 3)->text(), QStringLiteral("Help"));

    form.show();
    ok->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    form.show();
    cancel->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
}
