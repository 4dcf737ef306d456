"""zond8t-cli survey: the details kept beside a table read back by Python's json, a damaged file,
a folder that takes no file; and the protocol of a three-channel table with every detail, read
back from the PDF by pdftotext and from the .odt by LibreOffice's own conversion to text.

Run as: survey_test.py CLI SIM CASE.
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile

from sim_process import Sim, expect

CLI, SIM, CASE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
WORK = tempfile.mkdtemp(prefix="zond-survey-")
os.chmod(WORK, 0o755)
TABLE = os.path.join(WORK, "Стена.db")
DETAILS = os.path.join(WORK, "Стена.survey.json")
CONFIG = os.path.join(WORK, "config")
ENV = dict(os.environ, XDG_CONFIG_HOME=CONFIG, LC_ALL="C.UTF-8")

# Every key with a value that needs care: Cyrillic, quotes, backslashes, newlines.
VALUES = {
    "protocol_number": "17/2026",
    "object": "Жилой дом «Северный», корпус 2",
    "address": "г. Пермь, ул. Ленина, д. 5",
    "client": 'ООО "Теплоконтроль"',
    "construction": "кирпич 510 мм\nминеральная вата 100 мм\nштукатурка 20 мм",
    "orientation": "север",
    "placement": "комната 12, наружная стена\nна высоте 1,5 м от пола",
    "serial": "0815",
    "verification": "№ С-ВЯ/12-03-2026/123456 от 12.03.2026",
    "operator": "Иванов И. И.",
    "checker": "Петров П. П.",
    "weather": "пасмурно, ветер С-З 3 м/с\\слабый снег",
    "required_r0": "3,2",
    "notes": "Датчик q3 у оконного откоса.",
}


def cli(*arguments, user=None, env=ENV):
    done = subprocess.run([CLI, *arguments], capture_output=True, text=True, timeout=120,
                          env=env, user=user)
    return done.returncode, done.stdout, done.stderr


def make_table():
    code, _, err = cli("create", TABLE)
    expect(code == 0, "create exit %d: %s" % (code, err))


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def set_all():
    arguments = []
    for key, value in VALUES.items():
        arguments += ["--set", "%s=%s" % (key, value)]
    return cli("survey", TABLE, *arguments)


def case_round_trip():
    make_table()
    before = digest(TABLE)
    # A key this program does not know (written by a later version) is kept.
    with open(DETAILS, "w", encoding="utf-8") as f:
        json.dump({"photo": "IMG_0012.jpg"}, f)
    code, out, err = set_all()
    expect(code == 0 and err == "", "set exit %d: %s" % (code, err))
    with open(DETAILS, encoding="utf-8") as f:
        stored = json.load(f)
    wanted = dict(VALUES, required_r0=3.2, photo="IMG_0012.jpg")
    expect(stored == wanted, "stored %r" % stored)
    expect(digest(TABLE) == before, "the table changed")
    expect("Заказчик [client]: ООО \"Теплоконтроль\"" in out, out)
    expect("кирпич 510 мм\n    минеральная вата 100 мм" in out, "continuation lines:\n" + out)
    expect("[required_r0]: 3,2" in cli("survey", TABLE, "--decimal-separator", ",")[1], "R0тр")

    code, out, _ = cli("survey", TABLE, "--unset", "notes", "--unset", "client", "--set",
                       "orientation=юг", "--json")
    shown = json.loads(out)
    expect(code == 0 and shown["notes"] is None and shown["client"] is None, "unset %r" % shown)
    expect(shown["orientation"] == "юг" and shown["construction"] == VALUES["construction"],
           "kept %r" % shown)
    with open(DETAILS, encoding="utf-8") as f:
        stored = json.load(f)
    expect("notes" not in stored and stored["orientation"] == "юг", "file %r" % stored)

    code, out, _ = cli("survey", "--organisation", "ООО «Тавис»",
                       "--organisation-accreditation", "Аттестат RA.RU.0001")
    expect(code == 0, "organisation exit %d" % code)
    organisation = json.loads(cli("survey", TABLE, "--json")[1])["organisation"]
    expect(organisation == {"name": "ООО «Тавис»", "address": "",
                            "accreditation": "Аттестат RA.RU.0001"}, "%r" % organisation)

    for arguments in (["--set", "required_r0=abc"], ["--set", "colour=red"], ["--set", "x"]):
        code, _, err = cli("survey", TABLE, *arguments)
        expect(code == 1 and err, "%r: exit %d" % (arguments, code))
    code, _, err = cli("survey", TABLE + ".missing")
    expect(code == 2 and "no table" in err, "missing table: %d %s" % (code, err))


def case_damaged_file():
    make_table()
    before = digest(TABLE)
    with open(DETAILS, "w", encoding="utf-8") as f:
        f.write('{"object": "Школа", "address": ')
    code, out, err = cli("survey", TABLE, "--json")
    expect(code == 0, "show exit %d" % code)
    expect("Стена.survey.json" in err and "повреждён" in err and "Поля оставлены пустыми" in err,
           "message: " + err)
    expect(json.loads(out)["object"] is None, "fields are empty: " + out)
    code, _, err = cli("survey", TABLE, "--set", "object=Школа № 2")
    expect(code == 2 and "Исправьте или удалите" in err, "edit over damage: %d %s" % (code, err))
    with open(DETAILS, encoding="utf-8") as f:
        expect(f.read() == '{"object": "Школа", "address": ', "the damaged file was replaced")
    with open(DETAILS, "w", encoding="utf-8") as f:
        f.write('{"object": ["Школа"]}')
    _, _, err = cli("survey", TABLE)
    expect("значение «object» не текст" in err, "wrong type: " + err)
    expect(digest(TABLE) == before, "the table changed")


def case_read_only_folder():
    make_table()
    os.chmod(WORK, 0o555)
    try:
        # Root writes anywhere: the check runs as an unprivileged user then.
        user = "nobody" if os.geteuid() == 0 else None
        code, _, err = cli("survey", TABLE, "--set", "object=Школа", user=user)
    finally:
        os.chmod(WORK, 0o755)
    expect(code == 1 and "Стена.survey.json" in err and "не записан" in err and "прав" in err,
           "read-only folder: %d %s" % (code, err))
    expect(sorted(os.listdir(WORK)) == ["Стена.db"], "left: %r" % os.listdir(WORK))


def soffice_text(document):
    profile = os.path.join(WORK, "lo-profile")
    subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless",
                    "--convert-to", "txt:Text (encoded):UTF8", "--outdir", WORK, document],
                   capture_output=True, timeout=180, check=True)
    with open(os.path.splitext(document)[0] + ".txt", encoding="utf-8-sig") as f:
        return f.read()


def case_three_channel_protocol():
    sim = Sim(SIM, WORK, "--wall", "3.2", "--days", "5", "--sensors", "1,1,1")
    code, _, err = cli("fetch", "--port", sim.device, TABLE)
    sim.stop()
    expect(code == 0, "fetch exit %d: %s" % (code, err))
    code, _, err = set_all()
    expect(code == 0, "set exit %d: %s" % (code, err))
    cli("survey", "--organisation", "ООО «Тавис»", "--organisation-address", "г. Пермь",
        "--organisation-accreditation", "Аттестат RA.RU.0001")
    pdf, odt = os.path.join(WORK, "протокол.pdf"), os.path.join(WORK, "протокол.odt")
    # Under a Russian locale numbers must not change: the protocol writes its own commas.
    env = dict(ENV, LC_ALL="ru_RU.UTF-8")
    code, out, err = cli("resistance", TABLE, "--json", "--pdf", pdf, "--odt", odt, env=env)
    expect(code == 0, "resistance exit %d: %s" % (code, err))
    got = json.loads(out)
    expect([c["channel"] for c in got["channels"]] == ["q1", "q2", "q3"], "channels")

    fonts = subprocess.run(["pdffonts", pdf], capture_output=True, text=True, check=True).stdout
    expect(all(line.split()[-5] == "yes" for line in fonts.splitlines()[2:]),
           "fonts not embedded:\n" + fonts)
    texts = {
        "pdf": subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True,
                              check=True).stdout,
        "odt": soffice_text(odt),
    }
    pages = texts["pdf"].count("\f")
    expect(pages >= 2, "a protocol of %d page(s)" % pages)
    for kind, text in texts.items():
        flat = " ".join(text.split())
        for key, value in VALUES.items():
            for line in value.split("\n"):
                expect(line in text, "%s: %s %r missing:\n%s" % (kind, key, line, text))
        for wanted in ("ООО «Тавис»", "г. Пермь", "Аттестат RA.RU.0001",
                       "Протокол № 17/2026",
                       "определения сопротивления теплопередаче ограждающей конструкции",
                       "1. Объект и условия измерений", "2. Средства измерений", "3. Метод",
                       "ISO 9869-1 / ГОСТ Р 54853, метод средних значений", "4. Измерения",
                       "5. Результаты", "6. R по суткам и сходимость", "7. Заключение",
                       "Исполнитель ____________ / Иванов И. И.",
                       "Проверил ____________ / Петров П. П.", "ЗОНД-8Т.05",
                       "Период записи", "01.10.2009 08:00:00", "Строк в расчёте"):
            expect(wanted in flat, "%s: %r missing:\n%s" % (kind, wanted, text))
        for channel in got["channels"]:
            r0 = ("%.3f" % channel["R0"]).replace(".", ",")
            expect(r0 in flat, "%s: R0 %s of %s missing" % (kind, r0, channel["channel"]))
        mean = sum(c["R0"] for c in got["channels"]) / 3
        verdict = "что %sменее нормируемого R₀тр = 3,2" % ("не " if mean >= 3.2 else "")
        expect(("R₀ = %s" % ("%.3f" % mean).replace(".", ",")) in flat and verdict in flat,
               "%s: conclusion missing:\n%s" % (kind, text))
    expect("Стр. 1 из %d" % pages in texts["pdf"] and "Стр. %d из %d" % (pages, pages)
           in texts["pdf"], "page numbers:\n" + texts["pdf"])


try:
    globals()["case_" + CASE]()
finally:
    shutil.rmtree(WORK, ignore_errors=True)
print("ok")
