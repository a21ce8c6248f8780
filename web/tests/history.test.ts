// @vitest-environment happy-dom
// The History view: the runs as the page words them, Undo only where the engine allows it, and an
// undo only after the confirmation (Cancel first).
import { beforeEach, describe, expect, it } from "vitest";
import { createHistoryView, runItemsText, undoQuestion, undoResultText } from "../src/history";
import { setLanguage } from "../src/texts";

const thenable = <T>(value: T): Tvn.Thenable<T> => ({ then: (success: (value: T) => void) => void success(value) }) as Tvn.Thenable<T>;

const run = (fields: Partial<Tvn.HistoryRun>): Tvn.HistoryRun => ({
    id: "r1", prefix: "/home/u/.wine", started: Date.UTC(2026, 11, 9, 10, 30), ended: Date.UTC(2026, 11, 9, 10, 31), state: "finished",
    items: [{ fileName: "a.dll", action: "repair" }, { fileName: "b.dll", action: "repair" }, { fileName: "setup.exe", action: "install" }],
    changed: 3, cannotRestore: [], undoable: true, ...fields,
});

describe("history texts", () => {
    beforeEach(() => setLanguage("en"));

    it("names the items by what was done to them", () => {
        expect(runItemsText(run({}))).toBe("Repaired a.dll, b.dll; Installed setup.exe");
        expect(runItemsText(run({ items: [{ fileName: "x.exe", action: "install" }] }))).toBe("Installed x.exe");
    });

    it("asks naming the prefix, the count of files and the programs that close", () => {
        expect(undoQuestion(run({ changed: 1 }))).toBe(
            "The run's changes to 1 file in /home/u/.wine and to its registry are taken back. Programs running in that prefix will close.");
        expect(undoQuestion(run({ prefix: "", changed: 4 }))).toBe("The run's changes to 4 files in tvn's own drive C: are taken back.");
        expect(undoResultText({ ok: false, restored: 0, removed: 0, error: "the run is still going" })).toBe("Undo failed: the run is still going");
    });
});

describe("history view", () => {
    beforeEach(() => setLanguage("en"));

    function view(runs: Tvn.HistoryRun[], busy = false) {
        const undone: string[] = [];
        const wine = {
            history: () => thenable(runs),
            undo: (id: string) => {
                undone.push(id);
                return thenable({ ok: true, restored: 2, removed: 1, error: "" });
            },
        } as unknown as Tvn.WineModule;
        const shown = createHistoryView(wine, () => busy);
        document.body.append(shown.element, shown.dialog);
        shown.refresh();
        return { shown, undone };
    }

    it("offers Undo only on the runs the engine allows, and undoes only after the confirmation", () => {
        const { shown, undone } = view([run({ id: "new", cannotRestore: ["/home/u/.wine/drive_c/save.dat"] }),
            run({ id: "old", undoable: false, state: "interrupted" })]);
        const rows = shown.element.querySelectorAll(".history-run");
        expect(rows.length).toBe(2);
        expect(rows[1].querySelector("button")).toBeNull();
        expect(rows[1].textContent).toContain("Interrupted");
        expect(rows[0].querySelector(".cannot-restore")?.textContent).toContain("1 change cannot be restored");

        rows[0].querySelector("button")!.click();
        expect(shown.dialog.open).toBe(true);
        expect(document.activeElement?.textContent).toBe("Cancel");
        shown.dialog.close("cancel");
        expect(undone).toEqual([]);

        shown.element.querySelector<HTMLButtonElement>(".history-run button")!.click();
        shown.dialog.close("undo");
        expect(undone).toEqual(["new"]);
        expect(shown.element.querySelector(".history-status")?.textContent).toBe("Undone: 2 restored, 1 removed");
    });

    it("starts no undo while a repair runs", () => {
        const { shown, undone } = view([run({})], true);
        shown.element.querySelector<HTMLButtonElement>(".history-run button")!.click();
        expect(shown.dialog.open).toBe(false);
        expect(undone).toEqual([]);
        expect(shown.element.querySelector(".history-status")?.textContent).toBe("Wait for the repair to finish before undoing.");
    });
});
