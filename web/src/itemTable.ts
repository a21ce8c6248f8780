// A table of catalog items (the Libraries or the Runtimes view): a check box to select, the name,
// the description, the status and a progress bar per row, and a button to repair that one item.
// Rows are updated in place, so a catalog of thousands of items stays quick.

import { el } from "./dom";
import { needsRepair, statusText, type ItemState } from "./items";
import { format, type TextKey } from "./texts";

export interface TableRow {
    fileName: string;
    name: string;
    description: string;
}

export interface ItemTable {
    element: HTMLElement;
    update(item: ItemState): void;
    selected(): string[];
    setBusy(busy: boolean): void;
}

interface RowParts {
    row: HTMLTableRowElement;
    check: HTMLInputElement;
    status: HTMLElement;
    bar: HTMLProgressElement;
    action: HTMLButtonElement;
    item: ItemState | null;
}

export function createItemTable(label: string, rows: TableRow[], actionKey: TextKey, onAction: (fileName: string) => void): ItemTable {
    const parts = new Map<string, RowParts>();
    let busy = false;
    const selectAll = el("input", { type: "checkbox", "aria-label": format("selectAll"), onchange: () => {
        for (const part of parts.values())
            part.check.checked = selectAll.checked;
    } });
    const body = el("tbody");
    for (const entry of rows) {
        const check = el("input", { type: "checkbox", "aria-label": entry.name });
        const status = el("td", { class: "status" }, format("statusUnknown"));
        const bar = el("progress", { max: 100, value: 0, "aria-label": format("columnProgress") });
        const action = el("button", { class: "row-action", onclick: () => onAction(entry.fileName), disabled: true }, format(actionKey));
        const row = el("tr", { "data-file": entry.fileName, "data-status": "unknown" },
            el("td", { class: "select" }, check),
            el("td", { class: "name" }, entry.name),
            el("td", { class: "description" }, entry.description),
            status,
            el("td", { class: "progress" }, bar),
            el("td", { class: "action" }, action));
        parts.set(entry.fileName.toLowerCase(), { row, check, status, bar, action, item: null });
    }
    const refreshAction = (part: RowParts) => {
        part.action.disabled = busy || !part.item || !needsRepair(part.item);
    };
    const element = el("table", { class: "items", "aria-label": label },
        el("thead", {}, el("tr", {},
            el("th", { class: "select" }, selectAll),
            el("th", {}, format("columnName")),
            el("th", {}, format("columnDescription")),
            el("th", {}, format("columnStatus")),
            el("th", {}, format("columnProgress")),
            el("th", {}))),
        body);
    for (const part of parts.values())
        body.appendChild(part.row);
    return {
        element,
        update(item) {
            const part = parts.get(item.fileName.toLowerCase());
            if (!part)
                return;
            part.item = item;
            part.row.dataset.status = item.status;
            part.status.textContent = statusText(item);
            part.bar.value = Math.round(item.progress * 100);
            if (item.status === "working")
                part.bar.removeAttribute("value"); // indeterminate: the engine reports no part-way progress
            refreshAction(part);
        },
        selected() {
            return [...parts.entries()].filter(([, part]) => part.check.checked).map(([, part]) => part.row.dataset.file as string);
        },
        setBusy(value) {
            busy = value;
            for (const part of parts.values())
                refreshAction(part);
        },
    };
}
