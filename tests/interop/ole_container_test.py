"""The container the Windows build writes, read back by python3-olefile and python3-xlrd."""
import pathlib
import subprocess
import sys
import tempfile

import olefile
import xlrd


def main(samples: str) -> int:
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([samples, tmp], check=True)
        folder = pathlib.Path(tmp)
        for stream_file in sorted(folder.glob("size*.stream")):
            expected = stream_file.read_bytes()
            with olefile.OleFileIO(str(stream_file.with_suffix(".ole")),
                                   raise_defects=olefile.DEFECT_INCORRECT) as ole:
                if ole.listdir() != [["Workbook"]]:
                    failures.append(f"{stream_file.name}: entries {ole.listdir()}")
                elif ole.openstream("Workbook").read() != expected:
                    failures.append(f"{stream_file.name}: stream differs")
        book = xlrd.open_workbook(str(folder / "book.xls"))
        sheet = book.sheet_by_index(0)
        cells = (sheet.name, sheet.cell_value(0, 0), sheet.cell_value(1, 0))
        if cells != ("Лист", "Замер", 12.5):
            failures.append(f"book.xls: {cells}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
