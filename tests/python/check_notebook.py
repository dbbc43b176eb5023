"""Checks the laboratory notebooks.

  check_notebook.py executed NOTEBOOK...
      Each notebook, as nbconvert --execute wrote it: every code cell ran (but those tagged
      skip-execution), and no output is an error, a stderr stream, or text holding "Warning",
      "Traceback" or "Error" (matplotlib's, numpy's and Python's warnings among them).
  check_notebook.py stored STUDENT TEACHER
      The notebooks as kept in the source tree: no outputs, no execution counts; the
      student's cells appear in the teacher's copy in the same order and unchanged, and every
      other cell of the teacher's copy is tagged "answer".

Exits 1 with one line per fault, 0 when all is well.

run_notebook.py has the kernel call watch_figures() first: from then on every plt.show() checks
the figures it shows (figure_faults) and raises AssertionError naming each fault.
"""
import json
import math
import sys

FORBIDDEN = ("Warning", "Traceback", "Error")


def texts(output):
    # Every text an output carries: a stream's, or each text-like mime type's.
    if output.get("output_type") == "stream":
        yield "".join(output.get("text", ""))
    for mime, value in output.get("data", {}).items():
        if mime.startswith("text/") or mime.endswith("json"):
            yield value if isinstance(value, str) else json.dumps(value)


def check_executed(path, faults):
    notebook = json.load(open(path, encoding="utf-8"))
    for index, cell in enumerate(notebook["cells"]):
        if cell["cell_type"] != "code":
            continue
        where = f"{path}: cell {index} ({cell.get('id', '?')})"
        if "skip-execution" in cell.get("metadata", {}).get("tags", []):
            continue
        if cell.get("execution_count") is None:
            faults.append(f"{where}: did not run")
        for output in cell.get("outputs", []):
            kind = output.get("output_type")
            if kind == "error":
                faults.append(f"{where}: error {output.get('ename')}: {output.get('evalue')}")
            if kind == "stream" and output.get("name") == "stderr":
                faults.append(f"{where}: writes to stderr: {''.join(output['text'])[:200]!r}")
            for text in texts(output):
                for word in FORBIDDEN:
                    if word in text:
                        at = text.index(word)
                        faults.append(f"{where}: {word!r} in its output: "
                                      f"{text[max(0, at - 80):at + 120]!r}")


def check_stored(student_path, teacher_path, faults):
    student = json.load(open(student_path, encoding="utf-8"))
    teacher = json.load(open(teacher_path, encoding="utf-8"))
    for path, notebook in ((student_path, student), (teacher_path, teacher)):
        for index, cell in enumerate(notebook["cells"]):
            if cell["cell_type"] == "code" and (cell.get("outputs") or
                                                cell.get("execution_count") is not None):
                faults.append(f"{path}: cell {index} is stored with outputs")
    remaining = iter(teacher["cells"])
    for cell in student["cells"]:
        for other in remaining:
            if other == cell:
                break
            if "answer" not in other.get("metadata", {}).get("tags", []):
                faults.append(f"{teacher_path}: cell {other.get('id')} is neither the "
                              f"student's nor tagged answer")
        else:
            faults.append(f"{teacher_path}: lacks the student's cell {cell.get('id')}, "
                          "or has it out of order or changed")
            return
    for other in remaining:
        if "answer" not in other.get("metadata", {}).get("tags", []):
            faults.append(f"{teacher_path}: cell {other.get('id')} is neither the student's "
                          "nor tagged answer")


def figure_faults(figure):
    """What is wrong with a figure of errors: orders (x) ticked anywhere but at integers; on a
    logarithmic y axis, a tick anywhere but at a power of ten, or none labelled at 10^0; no line
    at 1 or no text naming it "every digit lost" (on the plot or in its legend)."""
    figure.canvas.draw()  # the tick labels are made when the figure is drawn
    faults = []
    for number, ax in enumerate(figure.axes, start=1):
        where = f"plot {number} ({ax.get_title()!r})"
        low, high = sorted(ax.get_xlim())
        orders = [tick for tick in ax.xaxis.get_majorticklocs() if low <= tick <= high]
        if any(tick != round(tick) for tick in orders):
            faults.append(f"{where}: orders ticked at {orders}")
        if ax.get_yscale() != "log":
            continue
        low, high = sorted(ax.get_ylim())
        ticks = [tick for tick in ax.yaxis.get_major_ticks() if low <= tick.get_loc() <= high]
        exponents = [math.log10(tick.get_loc()) for tick in ticks]
        if any(abs(e - round(e)) > 1e-9 for e in exponents):
            faults.append(f"{where}: y ticked between powers of ten, at 10^{exponents}")
        if not any(abs(tick.get_loc() - 1) < 1e-12 and tick.label1.get_text()
                   for tick in ticks):
            faults.append(f"{where}: no labelled y tick at 10^0")
        if not any(list(line.get_ydata()) == [1, 1] for line in ax.get_lines()):
            faults.append(f"{where}: no line at |relative error| = 1")
        legend = ax.get_legend()
        texts = [text.get_text() for text in ax.texts]
        texts += [text.get_text() for text in legend.get_texts()] if legend else []
        if not any("every digit lost" in text for text in texts):
            faults.append(f"{where}: the line at 1 is not named \"every digit lost\"")
    return faults


def watch_figures():
    """In the notebook's kernel: every plt.show() from now on first checks the figures it is to
    show, and raises AssertionError naming each fault."""
    import matplotlib.pyplot as plt
    from matplotlib._pylab_helpers import Gcf

    show = plt.show

    def checked_show(*args, **kwargs):
        faults = [fault for manager in Gcf.get_all_fig_managers()
                  for fault in figure_faults(manager.canvas.figure)]
        if faults:
            raise AssertionError("; ".join(faults))
        return show(*args, **kwargs)

    plt.show = checked_show


def main(argv):
    faults = []
    if len(argv) >= 2 and argv[0] == "executed":
        for path in argv[1:]:
            check_executed(path, faults)
    elif len(argv) == 3 and argv[0] == "stored":
        check_stored(argv[1], argv[2], faults)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
