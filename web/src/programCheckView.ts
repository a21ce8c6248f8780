// The "Check a program" dialog: a Windows program chosen (or dropped, or named on the command
// line), the DLLs it needs in the prefix in use, missing ones first, and the repair of exactly
// what the catalog supplies. The table is built once per analysis, however many DLLs it lists.

import type { Catalog } from "./catalog";
import { append, clear, el } from "./dom";
import { checkLine, checkRows, checkSummary, repairPlan, sourceText, statusWords, type RepairPlan } from "./programCheck";
import { format } from "./texts";

export interface ProgramCheck {
    dialog: HTMLDialogElement;
    /** Opens the dialog; with a path, checks that program at once. */
    open(path?: string): void;
    /** Checks the program shown again (after a repair). */
    refresh(): void;
}

export interface ProgramCheckHooks {
    /** Repairs the plan's DLLs and runtimes (once the user confirms); false when it did not start. */
    repair(plan: RepairPlan): Promise<boolean>;
    /** Each analysis, once shown. */
    analyzed?(needs: Tvn.ProgramNeeds, plan: RepairPlan): void;
}

export function createProgramCheck(wine: Tvn.WineModule, sys: Tvn.SysModule, catalog: Catalog, hooks: ProgramCheckHooks): ProgramCheck {
    let current = "";
    let plan: RepairPlan = { dlls: [], runtimes: [], unknown: [] };
    const summary = el("p", { class: "check-summary", role: "status" });
    const unknown = el("p", { class: "check-unknown" });
    const body = el("tbody");
    const table = el("table", { class: "check-table", "aria-label": format("checkTitle") },
        el("thead", {}, el("tr", {},
            el("th", {}, format("checkColumnDll")), el("th", {}, format("checkColumnStatus")),
            el("th", {}, format("checkColumnNeededBy")), el("th", {}, format("checkColumnSource")))),
        body);
    const repairButton = el("button", { class: "primary", disabled: true, onclick: () => {
        repairButton.disabled = true; // while the user is asked, and for the run
        void hooks.repair(plan).then((started) => {
            repairButton.disabled = started;
        });
    } }, format("checkRepair"));
    const dialog = el("dialog", { class: "program-check", "aria-labelledby": "program-check-title" },
        el("h2", { id: "program-check-title" }, format("checkTitle")),
        el("div", { class: "check-actions" },
            el("button", { onclick: () => choose() }, format("checkChoose")), repairButton,
            el("button", { onclick: () => dialog.close() }, format("checkClose"))),
        summary, unknown, el("div", { class: "check-list" }, table));

    function show(needs: Tvn.ProgramNeeds): void {
        const rows = checkRows(needs, catalog);
        plan = repairPlan(rows);
        summary.textContent = `${needs.path}: ${checkSummary(needs)}`;
        unknown.textContent = plan.unknown.length ? format("checkUnknown", { names: plan.unknown.join(", ") }) : "";
        // One fragment, one insertion: a program with hundreds of DLLs lays out once.
        const fragment = document.createDocumentFragment();
        for (const row of rows) {
            append(fragment, el("tr", { "data-status": row.dll.status },
                el("td", { class: "name", title: row.dll.path || null }, row.dll.name),
                el("td", {}, statusWords(row.dll)),
                el("td", {}, row.dll.neededBy.join(", ")),
                el("td", {}, row.dll.status === "missing" ? sourceText(row.source) : "")));
        }
        clear(body);
        body.appendChild(fragment);
        repairButton.disabled = plan.dlls.length + plan.runtimes.length === 0;
        repairButton.title = repairButton.disabled ? format("checkNothingToRepair") : "";
        console.info(needs.error ? `tvn: check: ${needs.path}: ${needs.error}` : `tvn: check: ${needs.path}: ${checkSummary(needs)}`);
        for (const row of rows)
            console.info(checkLine(row));
        hooks.analyzed?.(needs, plan);
    }

    function check(path: string): void {
        current = path;
        summary.textContent = format("checkReading", { path });
        unknown.textContent = "";
        clear(body);
        repairButton.disabled = true;
        wine.analyze(path).then((needs) => {
            if (path === current) // a later choice wins
                show(needs);
        });
    }

    function choose(): void {
        sys.openFileDialog({ mode: 0, title: format("checkChooseTitle"), accept_filters: "Windows programs|.exe;.dll" }).then(({ files }) => {
            if (files.length > 0)
                check(files[0]);
        });
    }

    return {
        dialog,
        open(path) {
            if (!dialog.open)
                dialog.showModal();
            if (path)
                check(path);
        },
        refresh() {
            if (current)
                check(current);
        },
    };
}
