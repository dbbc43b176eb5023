"""Executes a notebook, every cell, and writes the executed copy.

  run_notebook.py NOTEBOOK EXECUTED

The cells tagged skip-execution run too: they hold the sliders, which nbconvert --execute cannot
run under Debian 12 (its nbclient mimics ipywidgets 7's widget messages, and ipywidgets 6 sends
others), so a user's nbconvert leaves them out. Here the widgets' messages are not mimicked:
the widgets are made and their callbacks run, with nothing to display them.

Every figure shown is checked (check_notebook.watch_figures, from a cell put first for the run
and taken out of the executed copy): a fault is an error of the cell that shows it.
"""
import os
import sys

import nbclient
import nbformat


class _Client(nbclient.NotebookClient):
    def on_comm_open_jupyter_widget(self, msg):
        return None


def main(source, executed):
    notebook = nbformat.read(source, as_version=4)
    for cell in notebook.cells:
        tags = cell.metadata.get("tags", [])
        if "skip-execution" in tags:
            tags.remove("skip-execution")
    here = os.path.dirname(os.path.abspath(__file__))
    notebook.cells.insert(0, nbformat.v4.new_code_cell(
        f"import sys\nsys.dont_write_bytecode = True\nsys.path.insert(0, {here!r})\n"
        "import check_notebook\ncheck_notebook.watch_figures()"))
    _Client(notebook, timeout=300, kernel_name="python3", store_widget_state=False).execute()
    del notebook.cells[0]
    nbformat.write(notebook, executed)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
