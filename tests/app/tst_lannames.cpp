// Where the target fields connect when the LAN offers names: a found address stands for a name only
// when the user picked it from the offered ones, as a stranger may publish any host name, the typed
// address among them. A typed address and a plain pick, between real daemons: scripts/offered-receivers.sh.
#include "Doubles.h"

namespace {

const DiscoveredPeer kWohnzimmer{"wohnzimmer", "10.0.0.5", 22355, PeerRole::Receiver, "R wohnzimmer", {}};
// publishes the default receiver's address as its host name
const DiscoveredPeer kStranger{"192.168.0.2", "10.0.0.66", 22355, PeerRole::Receiver, "R stranger", {}};
const DiscoveredPeer kSender{"buero", "10.0.0.7", 22356, PeerRole::Sender, "S buero", {}};

}  // namespace

class LanNamesTest : public QObject {
    Q_OBJECT
private slots:
    // steps, one a word: "type:x" the user types x, "pick:x" picks x from the offered names,
    // "set:x" the program sets the text, "gone" the peers vanish, "back" they come back
    void whereTheFieldConnects_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("typed name of a found receiver") << "TargetText" << "type:wohnzimmer" << "wohnzimmer";
        QTest::newRow("picked, the stranger's address as a name") << "TargetText" << "pick:192.168.0.2" << "10.0.0.66";
        QTest::newRow("picked, then edited") << "TargetText" << "pick:wohnzimmer type:wohnzimmer2" << "wohnzimmer2";
        QTest::newRow("picked, edited, typed back") << "TargetText" << "pick:wohnzimmer type:wohnzimme type:wohnzimmer" << "wohnzimmer";
        QTest::newRow("picked, then set by the program") << "TargetText" << "pick:wohnzimmer set:192.168.0.2" << "192.168.0.2";
        QTest::newRow("picked, then gone") << "TargetText" << "pick:wohnzimmer gone" << "wohnzimmer";
        QTest::newRow("picked, gone and back") << "TargetText" << "pick:wohnzimmer gone back" << "10.0.0.5";
        QTest::newRow("picked again after an edit") << "TargetText" << "pick:wohnzimmer type:x pick:wohnzimmer" << "10.0.0.5";
        QTest::newRow("sender typed") << "TargetTextClient" << "type:buero" << "buero";
        QTest::newRow("sender picked") << "TargetTextClient" << "pick:buero" << "10.0.0.7";
        // clang-format on
    }
    void whereTheFieldConnects()
    {
        TestWindow w;
        const QList<DiscoveredPeer> found{kWohnzimmer, kStranger, kSender};
        w.lan.show(found);
        Control& field = *w->control(row<QString>("field"));
        for (const QString& step : row<QString>("steps").split(u' ')) {
            const QString verb = step.section(u':', 0, 0), text = step.section(u':', 1);
            if (verb == "pick") {
                QVERIFY(field.items().contains(text));
                field.setListIndex(-1);
                field.setListIndex(int(field.items().indexOf(text)));
            }
            if (verb == "gone" || verb == "back")
                w.lan.show(verb == "gone" ? QList<DiscoveredPeer>{} : found);
            else
                field.setText(text);
            if (verb == "type" || verb == "pick")
                field.fire(ControlEvent::Change);
        }
        QTEST(WindowProbe::lanNames(*w).addressOf(field.text()), "expected");
        if (&field == &w->TargetText)  // the link and the stream go where the field says
            QTEST(WindowProbe::sending(*w).targetAddress(), "expected");
    }
};

QTEST_GUILESS_MAIN(LanNamesTest)
#include "tst_lannames.moc"
