// The History view: the engine's repair and install runs, newest first, each with its items, what
// it changed and what an undo could not bring back; the newest run of a prefix can be undone, after
// a confirmation that names the prefix, the count of files and that the prefix's programs close.

import { clear, el } from "./dom";
import { format, intlLocale } from "./texts";

/** Where a run happened, as the page names it. */
export function placeText(prefix: string): string {
    return prefix === "" ? format("historyOwnDrive") : prefix;
}

export function runStateText(state: Tvn.RunState): string {
    switch (state) {
    case "running":
        return format("runRunning");
    case "finished":
        return format("runFinished");
    case "failed":
        return format("runFailed");
    case "cancelled":
        return format("runCancelled");
    case "interrupted":
        return format("runInterrupted");
    case "undone":
        return format("runUndone");
    }
}

/** "Repaired x.dll, y.dll; installed setup.exe" in the page's words. */
export function runItemsText(run: Tvn.HistoryRun): string {
    const named = (action: "repair" | "install") => run.items.filter((item) => item.action === action).map((item) => item.fileName);
    const parts = [];
    if (named("repair").length > 0)
        parts.push(format("historyRepaired", { names: named("repair").join(", ") }));
    if (named("install").length > 0)
        parts.push(format("historyInstalled", { names: named("install").join(", ") }));
    return parts.join("; ");
}

/** The confirmation's question: the prefix, the files, and that its programs close. */
export function undoQuestion(run: Tvn.HistoryRun): string {
    const files = format("historyFiles", { count: run.changed });
    return run.prefix === ""
        ? format("undoQuestionOwnDrive", { files })
        : format("undoQuestion", { prefix: run.prefix, files });
}

export function undoResultText(result: Tvn.UndoResult): string {
    return result.ok
        ? format("undoDone", { restored: result.restored, removed: result.removed })
        : format("undoFailed", { error: result.error });
}

export interface HistoryView {
    element: HTMLElement;
    dialog: HTMLDialogElement;
    /** Reads the history again (when the view is shown, after a run). */
    refresh(): void;
}

/** `busy` says whether a repair is going on: no undo starts meanwhile. */
export function createHistoryView(wine: Tvn.WineModule, busy: () => boolean): HistoryView {
    const list = el("ol", { class: "history-runs" });
    const status = el("p", { class: "history-status", role: "status" });
    const when = new Intl.DateTimeFormat(intlLocale(), { dateStyle: "medium", timeStyle: "short" });

    const question = el("p", { id: "undo-question" });
    const confirm = el("button", { class: "primary", onclick: () => dialog.close("undo") }, format("undo"));
    const cancel = el("button", { onclick: () => dialog.close("cancel") }, format("cancel"));
    const dialog = el("dialog", { class: "undo", "aria-labelledby": "undo-title", "aria-describedby": "undo-question" },
        el("h2", { id: "undo-title" }, format("undoTitle")), question, el("p", { class: "dialog-buttons" }, confirm, cancel));
    let asked: Tvn.HistoryRun | null = null;
    dialog.addEventListener("close", () => {
        const run = asked;
        asked = null;
        if (!run || dialog.returnValue !== "undo") {
            console.info("tvn: undo: not confirmed");
            return;
        }
        console.info(`tvn: undo: ${run.id} confirmed`);
        status.textContent = format("undoing");
        wine.undo(run.id).then((result) => {
            status.textContent = undoResultText(result);
            console.info(`tvn: undo: ${run.id} ${result.ok ? "done" : "failed"}, ${result.restored} restored, ${result.removed} removed${result.error ? ", " + result.error : ""}`);
            refresh();
        });
    });
    const ask = (run: Tvn.HistoryRun) => {
        asked = run;
        question.textContent = undoQuestion(run);
        dialog.returnValue = "";
        dialog.showModal();
        console.info(`tvn: undo: asked, ${question.textContent}`);
        cancel.focus(); // Enter must never change a machine
    };

    const show = (runs: Tvn.HistoryRun[]) => {
        clear(list);
        if (runs.length === 0)
            list.appendChild(el("li", { class: "history-empty" }, format("historyNone")));
        for (const run of runs) {
            const cannot = run.cannotRestore.length > 0
                ? el("details", { class: "cannot-restore" }, el("summary", {}, format("historyCannotRestore", { count: run.cannotRestore.length })),
                    el("ul", {}, ...run.cannotRestore.map((path) => el("li", {}, path))))
                : null;
            const undo = run.undoable
                ? el("button", { "aria-label": format("undoRunLabel", { when: when.format(run.started) }), onclick: () => {
                    if (!busy())
                        ask(run);
                    else
                        status.textContent = format("undoWhileRunning");
                } }, format("undo"))
                : null;
            list.appendChild(el("li", { class: `history-run run-${run.state}`, "data-run": run.id },
                el("p", { class: "run-head" }, el("strong", {}, when.format(run.started)), " ", el("span", { class: "run-state" }, runStateText(run.state)),
                    " ", el("span", { class: "run-place" }, placeText(run.prefix))),
                el("p", { class: "run-items" }, runItemsText(run)),
                el("p", { class: "run-changed" }, format("historyChanged", { files: format("historyFiles", { count: run.changed }) })),
                cannot, undo));
        }
        console.info(`tvn: history: ${runs.length} runs`);
    };
    function refresh(): void {
        wine.history().then(show);
    }
    const element = el("section", { class: "history" }, el("p", {}, format("historyIntro")),
        el("p", {}, el("button", { onclick: refresh }, format("historyRefresh"))), status, list);
    return { element, dialog, refresh };
}
