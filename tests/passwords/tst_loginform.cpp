#include "passwords/loginform.h"
#include "passwords/neversites.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// A field from a short description: "type:name[:autocomplete][:value][!hidden][*typed]".
FormField field(int index, const QString &text)
{
    FormField f;
    f.index = index;
    QString pattern = text;
    f.typed = pattern.endsWith(QLatin1Char('*'));
    if (f.typed)
        pattern.chop(1);
    f.visible = !pattern.endsWith(QLatin1Char('!'));
    if (!f.visible)
        pattern.chop(1);
    const QStringList parts = pattern.split(QLatin1Char(':'));
    f.type = parts.value(0);
    f.name = parts.value(1);
    f.autocomplete = parts.value(2);
    f.value = parts.value(3);
    return f;
}

QList<FormField> form(const QStringList &specs)
{
    QList<FormField> fields;
    for (int i = 0; i < specs.size(); ++i)
        fields.append(field(i, specs[i]));
    return fields;
}

} // namespace

class TestLoginForm : public QObject
{
    Q_OBJECT

private slots:
    void fillTargets_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("user");
        QTest::addColumn<int>("password");
        QTest::newRow("plain login") << QStringList{"text:q", "text:user", "password:pass"} << 1 << 2;
        QTest::newRow("user marked after the password") << QStringList{"password:pass", "email:who:username"} << 1 << 0;
        QTest::newRow("sign-up asks a new password twice") << QStringList{"text:user", "password:a", "password:b"} << -1 << -1;
        QTest::newRow("new password alone is not a login") << QStringList{"text:user", "password:a:new-password"} << -1 << -1;
        QTest::newRow("change form fills the current password")
            << QStringList{"text:user:username", "password:old:current-password", "password:new:new-password",
                           "password:again:new-password"}
            << 0 << 1;
        QTest::newRow("hidden fields are never filled") << QStringList{"text:user!", "password:pass!"} << -1 << -1;
        QTest::newRow("hidden user, visible password") << QStringList{"text:user!", "password:pass"} << -1 << 1;
        QTest::newRow("one-time code is no password") << QStringList{"text:code", "password:otp:one-time-code"} << -1 << -1;
        QTest::newRow("first step: the user name alone") << QStringList{"email:identifier"} << 0 << -1;
        QTest::newRow("first step by name") << QStringList{"text:login_name"} << 0 << -1;
        QTest::newRow("a search box is not a login") << QStringList{"text:q"} << -1 << -1;
    }

    void fillTargets()
    {
        QFETCH(QStringList, fields);
        QFETCH(int, user);
        QFETCH(int, password);
        const LoginFields found = LoginForm::fillTargets(form(fields));
        QCOMPARE(found.user, user);
        QCOMPARE(found.password, password);
    }

    void submitted_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("typed login") << QStringList{"text:user::alice*", "password:pass::s3cret*"} << true << "alice"
                                     << "s3cret";
        QTest::newRow("user name trimmed") << QStringList{"text:user:: alice *", "password:pass::pw*"} << true << "alice"
                                           << "pw";
        QTest::newRow("filled, not typed") << QStringList{"text:user::alice", "password:pass::s3cret"} << false << ""
                                           << "";
        QTest::newRow("only the user name typed over a filled password")
            << QStringList{"text:user::bob*", "password:pass::s3cret"} << false << "" << "";
        QTest::newRow("sign-up: new and repeated") << QStringList{"text:user::c*", "password:a::n1*", "password:b::n1*"}
                                                  << true << "c" << "n1";
        QTest::newRow("change: current and new") << QStringList{"text:user::c*", "password:a::old*", "password:b::new*"}
                                                << true << "c" << "new";
        QTest::newRow("change: repetition agrees")
            << QStringList{"password:a::old*", "password:b::new*", "password:c::new*"} << true << "" << "new";
        QTest::newRow("change: repetition differs")
            << QStringList{"password:a::old*", "password:b::new*", "password:c::typo*"} << false << "" << "";
        QTest::newRow("second step: user name in a hidden field")
            << QStringList{"text:q::news*", "email:who:username:carol!", "password:pass::pw*"} << true << "carol"
            << "pw";
        QTest::newRow("first step: user name typed") << QStringList{"email:identifier::dave*"} << true << "dave" << "";
        QTest::newRow("first step not typed") << QStringList{"email:identifier::dave"} << false << "" << "";
        QTest::newRow("a search sent") << QStringList{"text:q::weather*"} << false << "" << "";
        QTest::newRow("empty password is no password")
            << QStringList{"text:user::erin*", "password:pass::*"} << true << "erin" << "";
    }

    void submitted()
    {
        QFETCH(QStringList, fields);
        QFETCH(bool, kept);
        QFETCH(QString, user);
        QFETCH(QString, password);
        const std::optional<SubmittedLogin> login = LoginForm::submitted(form(fields));
        QCOMPARE(login.has_value(), kept);
        if (login) {
            QCOMPARE(login->user, user);
            QCOMPARE(login->password, password);
        }
    }

    void fieldsFromTheFrameScript()
    {
        const QJsonArray array = QJsonDocument::fromJson(
                                     R"([{"i":3,"f":0,"t":"PASSWORD","n":"p","id":"","ac":" Current-Password ","v":true,"k":true,"val":"x"},
                                         {"i":-1,"t":"text"}, {"i":5,"f":-1,"t":"text","n":"q"}])")
                                     .array();
        const QList<FormField> fields = LoginForm::fieldsFromJson(array);
        QCOMPARE(fields.size(), 2); // one without a place in the document is dropped
        QCOMPARE(fields[0].type, QStringLiteral("password"));
        QCOMPARE(fields[0].autocomplete, QStringLiteral("current-password"));
        QVERIFY(fields[0].typed && fields[0].visible);
        QCOMPARE(LoginForm::sameForm(fields, -1).size(), 1);
        QCOMPARE(LoginForm::sameForm(fields, -1).first().index, 5);
    }

    // The "从不" list: origins only, one a line, kept across runs; a removal writes at once.
    void neverSitesAreKeptAndRemoved()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sablix/PasswordNeverSites.txt"));
        {
            NeverSites sites(path);
            QVERIFY(sites.add(QStringLiteral("https://a.example")));
            QVERIFY(sites.add(QStringLiteral("http://127.0.0.1:8080")));
            QVERIFY(sites.add(QStringLiteral("https://a.example")));
        }
        NeverSites again(path);
        QCOMPARE(again.origins(), QStringList({"https://a.example", "http://127.0.0.1:8080"}));
        QVERIFY(again.contains(QStringLiteral("http://127.0.0.1:8080")));
        QVERIFY(!again.contains(QStringLiteral("http://127.0.0.1:8081")));
        QVERIFY(again.remove(QStringLiteral("https://a.example")));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("http://127.0.0.1:8080\n"));
    }
};

QTEST_GUILESS_MAIN(TestLoginForm)
#include "tst_loginform.moc"
